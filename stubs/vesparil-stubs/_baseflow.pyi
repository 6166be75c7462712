# vesparil.baseflow: linear-reservoir baseflow layers.
from datetime import timedelta
from typing import Self, SupportsIndex, final

from vesparil._types import FloatLike
from vesparil._utils import ContinuousTimeSeries, IncrementalTimeSeries

__all__ = ["run_linear_reservoir", "LinearReservoir"]

def run_linear_reservoir(
    basin_area: FloatLike,
    rainfall: IncrementalTimeSeries,
    reservoirs: dict[str, LinearReservoir],
) -> tuple[ContinuousTimeSeries, dict[str, ContinuousTimeSeries]]:
    """Baseflow (cfs) of each named layer and in total, from infiltrated rainfall (in per step)."""

@final
class LinearReservoir:
    """One groundwater layer: a chain of `num_reservoir` equal linear reservoirs of total K."""

    def __new__(
        cls,
        k_duration: timedelta,
        gw_fraction: FloatLike,
        initial_q: FloatLike,
        num_reservoir: SupportsIndex = 1,
    ) -> Self: ...
    @property
    def gw_fraction(self) -> float: ...
    @gw_fraction.setter
    def gw_fraction(self, value: FloatLike) -> None: ...
    @property
    def initial_q(self) -> float: ...
    @initial_q.setter
    def initial_q(self, value: FloatLike) -> None: ...
    @property
    def num_reservoir(self) -> int: ...
    @num_reservoir.setter
    def num_reservoir(self, value: SupportsIndex) -> None: ...
    @property
    def k_duration(self) -> timedelta: ...
