# vesparil.reservoir.reservoir_utils: rating curves and the four outlet kinds.
from typing import Self

from vesparil._types import FloatLike, FloatVector
from vesparil._utils import ContinuousTimeSeries

__all__ = [
    "ElevationDischarge",
    "ElevationStorage",
    "ControlledDischargeInfo",
    "UnControlledDischargeInfo",
    "SpecifiedDischargeInfo",
    "ConstantDischargeInfo",
]

class ElevationDischarge:
    """Outlet rating curve: strictly increasing elevations (ft), non-decreasing discharges (cfs)."""

    def __new__(cls, elevation: FloatVector, discharge: FloatVector) -> Self: ...
    @property
    def elevation(self) -> list[float]: ...
    @property
    def discharge(self) -> list[float]: ...

class ElevationStorage:
    """Reservoir curve: strictly increasing elevations (ft) and storages (ft3 for cfs inflow)."""

    def __new__(cls, elevation: FloatVector, storage: FloatVector) -> Self: ...
    @property
    def elevation(self) -> list[float]: ...
    @property
    def storage(self) -> list[float]: ...
    def get_storage(self, elevation: FloatLike) -> float:
        """Storage at `elevation`; ValueError outside the curve."""
    def get_elevation(self, storage: FloatLike) -> float:
        """Elevation at `storage`; ValueError outside the curve."""

# The four outlet classes share no base class at run time. This private base exists only in the
# stubs, so that a dict mixing outlet kinds is inferred as a dict of outlets.
class _DischargeInfo: ...

class ControlledDischargeInfo(_DischargeInfo):
    """Gated outlet (gate, valve, conduit): rating curve between elevation gates, capped."""

    def __new__(
        cls,
        elevation_discharge: ElevationDischarge,
        minimum_elevation: FloatLike | None = None,
        maximum_elevation: FloatLike | None = None,
        maximum_release: FloatLike | None = None,
    ) -> Self: ...
    @property
    def elevation_discharge(self) -> ElevationDischarge: ...
    @property
    def minimum_elevation(self) -> float: ...
    @property
    def maximum_elevation(self) -> float | None: ...
    @property
    def maximum_release(self) -> float | None: ...

class UnControlledDischargeInfo(_DischargeInfo):
    """Uncontrolled spillway: rating curve at the elevation plus an optional offset."""

    def __new__(
        cls, elevation_discharge: ElevationDischarge, elevation_offset: FloatLike | None = None
    ) -> Self: ...
    @property
    def elevation_discharge(self) -> ElevationDischarge: ...
    @property
    def elevation_offset(self) -> float | None: ...

class SpecifiedDischargeInfo(_DischargeInfo):
    """Prescribed release read from a series at the elapsed time, gated and capped."""

    def __new__(
        cls,
        discharge: ContinuousTimeSeries,
        minimum_elevation: FloatLike | None = None,
        maximum_elevation: FloatLike | None = None,
        maximum_release: FloatLike | None = None,
    ) -> Self: ...
    @property
    def discharge(self) -> ContinuousTimeSeries: ...
    @property
    def minimum_elevation(self) -> float | None: ...
    @property
    def maximum_elevation(self) -> float | None: ...
    @property
    def maximum_release(self) -> float | None: ...

class ConstantDischargeInfo(_DischargeInfo):
    """Fixed release (cfs), zero outside the optional elevation gates."""

    def __new__(
        cls,
        discharge: FloatLike,
        minimum_elevation: FloatLike | None = None,
        maximum_elevation: FloatLike | None = None,
    ) -> Self: ...
    @property
    def discharge(self) -> float: ...
    @property
    def minimum_elevation(self) -> float | None: ...
    @property
    def maximum_elevation(self) -> float | None: ...
