"""The Fulda chain of fulda_chain.py as a basin model, for the calibration by batches.

One sub-basin: deficit-and-constant loss, Clark unit hydrograph and the two baseflow layers, with
the chain's nine parameters (days for durations) mapped to the basin's columns (hours for
durations; the two shares become the layers' fractions). The basin puts the baseflow on its time
axis (value i at the start of day i, docs/basin.md), one day earlier than fulda_chain.py.
"""

from __future__ import annotations

from collections.abc import Sequence

import numpy as np
import numpy.typing as npt

import fulda_chain
from fulda_chain import FuldaRecord
from vesparil import basin, baseflow

# The chain's parameters (fulda_chain.PARAMETERS, days for durations) as the basin's columns
# (hours); the two shares become the layers' fractions.
COLUMNS = [
    "fulda.loss.maximum_deficit", "fulda.loss.constant_rate", "fulda.loss.recovery",
    "fulda.transform.tc", "fulda.transform.storage", "fulda.baseflow.fast.k_duration",
    "fulda.baseflow.slow.k_duration", "fulda.baseflow.fast.gw_fraction",
    "fulda.baseflow.slow.gw_fraction",
]


def model(record: FuldaRecord) -> basin.Basin:
    """The chain as a one-sub-basin model; the columns above set every calibrated value."""
    fulda = basin.Basin(fulda_chain.DAY)
    slow_initial = min(record.observed_m3s) / fulda_chain.CUBIC_METRES_PER_CUBIC_FOOT
    fulda.add_subbasin(
        "fulda", fulda_chain.CATCHMENT_ACRES,
        basin.DeficitAndConstant(0.0, 1.0, 0.0, fulda_chain.DAY),
        basin.Clark(2 * fulda_chain.DAY, fulda_chain.DAY),
        {"fast": baseflow.LinearReservoir(10 * fulda_chain.DAY, 0.0, 0.0,
                                          fulda_chain.FAST_RESERVOIRS),
         "slow": baseflow.LinearReservoir(100 * fulda_chain.DAY, 0.0, slow_initial,
                                          fulda_chain.SLOW_RESERVOIRS)})
    return fulda


def table(population: npt.NDArray[np.float64]) -> npt.NDArray[np.float64]:
    """Rows of chain parameters (S x 9) as rows of the basin's columns."""
    (max_deficit, constant_loss, time_to_dry, tc, storage_r, fast_k, slow_k, share,
     slow_share) = population.T
    hours = 24.0
    return np.ascontiguousarray(np.column_stack([
        max_deficit, constant_loss, time_to_dry * hours, tc * hours, storage_r * hours,
        fast_k * hours, slow_k * hours, share * (1.0 - slow_share), share * slow_share]))


def rain(record: FuldaRecord, snow: tuple[float, float] | None) -> list[float]:
    """The gross rain, through the snow store with a fixed (threshold, melt factor) if given."""
    if snow is None:
        return record.rain_in
    return fulda_chain.snow_store(record.rain_in, record.tmean_c, *snow)


def discharge(record: FuldaRecord, params: Sequence[float],
              snow: tuple[float, float] | None) -> list[float]:
    """Simulated discharge (m3/s) of the basin with calibrated chain parameters."""
    values = [float(v) for v in table(np.array([params]))[0]]
    calibrated = model(record).with_parameters(values, COLUMNS)
    flow = calibrated.run({"fulda": rain(record, snow)})["fulda"].outflow.data
    return [q * fulda_chain.CUBIC_METRES_PER_CUBIC_FOOT for q in flow]
