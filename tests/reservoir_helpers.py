"""Names and helpers shared by the reservoir's test files."""

from datetime import timedelta

import pytest

import vesparil

ContinuousTimeSeries = vesparil.utils.ContinuousTimeSeries
utils = vesparil.reservoir.reservoir_utils
ElevationStorage = utils.ElevationStorage
ElevationDischarge = utils.ElevationDischarge
ConstantDischargeInfo = utils.ConstantDischargeInfo
SpecifiedDischargeInfo = utils.SpecifiedDischargeInfo
ControlledDischargeInfo = utils.ControlledDischargeInfo
UnControlledDischargeInfo = utils.UnControlledDischargeInfo
route = vesparil.reservoir.run_level_pool_routing

MINUTE = timedelta(minutes=1)
HOUR = timedelta(hours=1)
OUTSIDE = " is outside the range of the elevation-storage curve."
ABOVE = " is above the maximum of the elevation-discharge curve "
# A curve wide enough that the first sub-step of a two-value inflow never leaves it.
WIDE = ElevationStorage([-1000.0, 1000.0], [0.0, 1.0e9])


def flow(values, step=HOUR):
    return ContinuousTimeSeries(values, step, "discharge")


def panic(call):
    with pytest.raises(BaseException) as info:
        call()
    assert type(info.value).__name__ == "PanicException"
    assert not isinstance(info.value, Exception)
    return str(info.value)
