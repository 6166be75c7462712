# vesparil.rainfall_transform: the Clark unit hydrograph.
from datetime import timedelta

from vesparil._types import FloatLike
from vesparil._utils import ContinuousTimeSeries, IncrementalTimeSeries

__all__ = ["run_clark_uh"]

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
