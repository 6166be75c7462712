# vesparil.utils: the two uniformly spaced time-series classes.
from datetime import timedelta
from typing import Self, SupportsIndex

from vesparil._types import FloatVector, Kind

__all__ = ["ContinuousTimeSeries", "IncrementalTimeSeries"]

class ContinuousTimeSeries:
    """Point samples: value i is the quantity at i * time_step (discharge, elevation, storage).

    Spans time_step * (len(data) - 1). Immutable; every read of `data` returns a new list.
    """

    def __new__(cls, data: FloatVector, time_step: timedelta, kind: Kind) -> Self: ...
    @property
    def data(self) -> list[float]: ...
    @property
    def kind(self) -> Kind: ...
    @property
    def time_step(self) -> timedelta: ...
    def total_duration(self) -> int:
        """Seconds from the first to the last value: (len(data) - 1) * time_step."""

class IncrementalTimeSeries:
    """Interval amounts: value i accumulated from i * time_step to (i + 1) * time_step.

    Rainfall depth in inches per time step, for example. Spans time_step * len(data).
    """

    def __new__(cls, data: FloatVector, time_step: timedelta, kind: Kind) -> Self: ...
    @property
    def data(self) -> list[float]: ...
    @property
    def kind(self) -> Kind: ...
    @property
    def time_step(self) -> timedelta: ...
    def total_duration(self) -> int:
        """Seconds spanned by all intervals: len(data) * time_step."""
    def disaggregate(self, target_step: SupportsIndex) -> IncrementalTimeSeries:
        """Splits every value evenly into steps of `target_step` seconds (an int, >= 30)."""
