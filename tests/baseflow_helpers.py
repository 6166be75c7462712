"""Names and helpers shared by the baseflow test files."""

from datetime import timedelta

# The submodules are attributes of the extension, not importable dotted modules.
from vesparil import baseflow, utils

LinearReservoir = baseflow.LinearReservoir
run_linear_reservoir = baseflow.run_linear_reservoir
ContinuousTimeSeries = utils.ContinuousTimeSeries
IncrementalTimeSeries = utils.IncrementalTimeSeries

HOUR = timedelta(hours=1)


def rain(values, step=HOUR):
    return IncrementalTimeSeries(values, step, "rainfall")


def layer(k_hours=1.0, gw_fraction=1.0, initial_q=0.0, num_reservoir=1):
    return LinearReservoir(timedelta(hours=k_hours), gw_fraction, initial_q, num_reservoir)
