# vesparil.rainfall_transform: the Clark, SCS and Snyder unit hydrographs.
from datetime import timedelta

from vesparil._types import FloatLike
from vesparil._utils import ContinuousTimeSeries, IncrementalTimeSeries

__all__ = ["run_clark_uh", "run_scs_uh", "run_snyder_uh"]

def run_clark_uh(
    rainfall: IncrementalTimeSeries,
    basin_area: FloatLike,
    tc: timedelta,
    storage_r: timedelta,
) -> ContinuousTimeSeries:
    """Direct runoff (cfs) from excess rainfall (in per step) over `basin_area` acres.

    The unit hydrograph keeps ceil(tc / time_step) ordinates, so part of the volume is lost
    when `storage_r` is long compared with `tc`, and all of it when tc <= time_step.
    """

def run_scs_uh(
    rainfall: IncrementalTimeSeries,
    basin_area: FloatLike,
    lag: timedelta,
    peak_rate_factor: FloatLike = 484.0,
) -> ContinuousTimeSeries:
    """Direct runoff (cfs) from excess rainfall (in per step) over `basin_area` acres.

    Tp = time_step / 2 + lag; the whole volume is kept (1 in of excess, 1 in of runoff).
    """

def run_snyder_uh(
    rainfall: IncrementalTimeSeries,
    basin_area: FloatLike,
    ct: FloatLike,
    cp: FloatLike,
    stream_length: FloatLike,
    centroid_length: FloatLike,
) -> ContinuousTimeSeries:
    """Direct runoff (cfs) by Snyder's unit hydrograph; lengths in miles, area in acres.

    The whole volume is kept (1 in of excess, 1 in of runoff).
    """
