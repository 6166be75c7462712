# vesparil.rainfall_transform: the Clark, SCS and Snyder unit hydrographs.
from datetime import timedelta
from typing import Literal, TypeAlias

from vesparil._types import FloatLike
from vesparil._utils import ContinuousTimeSeries, IncrementalTimeSeries

__all__ = [
    "run_clark_uh",
    "run_scs_uh",
    "run_snyder_uh",
    "calculate_snyder_parameters",
    "SnyderParameters",
]

_TimeBase: TypeAlias = Literal["triangle", "small_watershed"]

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
    *,
    time_base: _TimeBase = "triangle",
) -> ContinuousTimeSeries:
    """Direct runoff (cfs) by Snyder's unit hydrograph; lengths in miles, area in acres.

    The whole volume is kept (1 in of excess, 1 in of runoff). `time_base`: "triangle"
    (tb = 1290 / qpR) or "small_watershed" (tb = 4 Tp).
    """

def calculate_snyder_parameters(
    basin_area: FloatLike,
    ct: FloatLike,
    cp: FloatLike,
    stream_length: FloatLike,
    centroid_length: FloatLike,
    time_step: timedelta | None = None,
    *,
    time_base: _TimeBase = "triangle",
) -> SnyderParameters:
    """Snyder's hydrograph as its equations give it, before the scaling to one inch.

    For the duration `time_step`, or the standard duration tp / 5.5 when it is None.
    """

class SnyderParameters:
    """Result of calculate_snyder_parameters: hours and cfs; not constructible."""

    @property
    def lag(self) -> float: ...
    @property
    def standard_duration(self) -> float: ...
    @property
    def duration(self) -> float: ...
    @property
    def adjusted_lag(self) -> float: ...
    @property
    def peak_rate(self) -> float:
        """qpR, cfs per square mile per inch."""
    @property
    def peak_time(self) -> float: ...
    @property
    def peak_discharge(self) -> float: ...
    @property
    def w50(self) -> float: ...
    @property
    def w75(self) -> float: ...
    @property
    def time_base(self) -> float: ...
    @property
    def sketch(self) -> list[tuple[float, float]]:
        """(hours, cfs) points from (0, 0) to (time_base, 0)."""
