# vesparil.reservoir: level pool and storage-indication routing.
from typing import TypeVar

from vesparil import _reservoir_utils as reservoir_utils
from vesparil._reservoir_utils import ElevationStorage, _DischargeInfo
from vesparil._types import FloatLike
from vesparil._utils import ContinuousTimeSeries

__all__ = [
    "reservoir_utils",
    "run_level_pool_routing",
    "LevelPoolResult",
    "run_storage_indication_routing",
]

_Outlet = TypeVar("_Outlet", bound=_DischargeInfo)

def run_level_pool_routing(
    inflow: ContinuousTimeSeries,
    initial_elevation: FloatLike,
    elevation_storage: ElevationStorage,
    discharge_info: dict[str, _Outlet],
) -> LevelPoolResult:
    """Routes `inflow` (cfs) through a level pool reservoir with one-second explicit steps.

    Every result series has one value fewer than `inflow`; see the user guide on alignment.
    """

class LevelPoolResult:
    """Storage (ft3), elevation (ft), total and per-outlet outflow (cfs); not constructible."""

    @property
    def reservoir_storage(self) -> ContinuousTimeSeries: ...
    @property
    def reservoir_elevation(self) -> ContinuousTimeSeries: ...
    @property
    def reservoir_total_outflow(self) -> ContinuousTimeSeries: ...
    @property
    def reservoir_individual_outflows(self) -> dict[str, ContinuousTimeSeries]: ...

def run_storage_indication_routing(
    inflow: ContinuousTimeSeries,
    initial_elevation: FloatLike,
    elevation_storage: ElevationStorage,
    discharge_info: dict[str, _Outlet],
) -> LevelPoolResult:
    """Routes `inflow` (cfs) by storage indication (modified Puls) at its own time step.

    Every result series has as many values as `inflow`, the first being the initial state.
    """
