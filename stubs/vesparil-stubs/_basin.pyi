# vesparil.basin: a network of elements run on one time axis, once or for many parameter sets.
from collections.abc import Mapping, Sequence
from datetime import datetime, timedelta
from typing import Any, Literal, Self, SupportsIndex, final

from vesparil._baseflow import LinearReservoir
from vesparil._basin_continuous import (
    CemaNeige as CemaNeige,
    DegreeDaySnow as DegreeDaySnow,
    GR4J as GR4J,
    HBV as HBV,
    Hamon as Hamon,
    Hargreaves as Hargreaves,
    Oudin as Oudin,
)
from vesparil._reservoir_utils import ElevationStorage, _DischargeInfo
from vesparil._types import FloatLike, FloatVector
from vesparil._utils import ContinuousTimeSeries, IncrementalTimeSeries

__all__ = [
    "Basin",
    "DeficitAndConstant",
    "Clark",
    "Muskingum",
    "LevelPool",
    "BasinRun",
    "ElementRun",
    "CurveNumber",
    "GreenAmpt",
    "ScsUnitHydrograph",
    "Snyder",
    "MuskingumCunge",
    "StorageIndication",
    "GR4J",
    "HBV",
    "DegreeDaySnow",
    "CemaNeige",
    "Oudin",
    "Hargreaves",
    "Hamon",
]

# A sub-basin's rainfall (in per step) or a source's flows (cfs), one value per step.
_Series = IncrementalTimeSeries | ContinuousTimeSeries | FloatVector

@final
class Basin:
    """Sub-basins, reaches, reservoirs, junctions and sources, each flowing into at most one."""

    def __new__(cls, time_step: timedelta) -> Self: ...
    @property
    def time_step(self) -> timedelta: ...
    @property
    def names(self) -> list[str]: ...
    def add_subbasin(
        self,
        name: str,
        area: FloatLike,
        loss: DeficitAndConstant | CurveNumber | GreenAmpt | None,
        transform: Clark | ScsUnitHydrograph | Snyder | GR4J | HBV,
        baseflow: dict[str, LinearReservoir] | None = None,
        downstream: str | None = None,
        snow: DegreeDaySnow | CemaNeige | None = None,
        evapotranspiration: Oudin | Hargreaves | Hamon | None = None,
    ) -> None: ...
    def add_reach(
        self, name: str, routing: Muskingum | MuskingumCunge, downstream: str | None = None
    ) -> None: ...
    def add_reservoir(
        self, name: str, routing: LevelPool | StorageIndication, downstream: str | None = None
    ) -> None: ...
    def add_junction(self, name: str, downstream: str | None = None) -> None: ...
    def add_source(self, name: str, downstream: str | None = None) -> None: ...
    def run(self, forcing: Mapping[str, _Series | Mapping[str, FloatVector]]) -> BasinRun: ...
    def run_batch(
        self,
        parameters: Any,
        columns: Sequence[str],
        forcing: Mapping[str, _Series | Mapping[str, FloatVector]],
        observed: FloatVector,
        at: str | None = None,
        metric: Literal["kge", "nse"] = "kge",
        threads: SupportsIndex | None = None,
        outflows: bool = False,
        missing: Literal["propagate", "omit", "raise"] | None = None,
        warmup: SupportsIndex = 0,
    ) -> Any:
        """N scores (a list); with outflows=True the pair (scores, N x T float64 array)."""
    def with_parameters(self, values: FloatVector, columns: Sequence[str]) -> Basin: ...
    def to_dict(self) -> dict[str, Any]: ...
    @classmethod
    def from_dict(cls, plain: dict[str, Any]) -> Basin: ...

@final
class DeficitAndConstant:
    """Deficit-and-constant loss: deficits in inches, the rate in inches per hour."""

    def __new__(
        cls,
        initial_deficit: FloatLike,
        maximum_deficit: FloatLike,
        constant_rate: FloatLike,
        recovery: timedelta,
    ) -> Self: ...
    @property
    def initial_deficit(self) -> float: ...
    @property
    def maximum_deficit(self) -> float: ...
    @property
    def constant_rate(self) -> float: ...
    @property
    def recovery(self) -> timedelta: ...

@final
class Clark:
    """Clark unit hydrograph: time of concentration and storage coefficient."""

    def __new__(cls, tc: timedelta, storage: timedelta) -> Self: ...
    @property
    def tc(self) -> timedelta: ...
    @property
    def storage(self) -> timedelta: ...

@final
class Muskingum:
    """Muskingum routing of a reach through `sub_reaches` equal segments."""

    def __new__(cls, k: timedelta, x: FloatLike, sub_reaches: SupportsIndex = 1) -> Self: ...
    @property
    def k(self) -> timedelta: ...
    @property
    def x(self) -> float: ...
    @property
    def sub_reaches(self) -> int: ...

@final
class LevelPool:
    """Level pool routing of a reservoir: its curve, its outlets in order, its first elevation."""

    def __new__(
        cls,
        elevation_storage: ElevationStorage,
        outlets: dict[str, _DischargeInfo],
        initial_elevation: FloatLike,
    ) -> Self: ...
    @property
    def elevation_storage(self) -> ElevationStorage: ...
    @property
    def outlets(self) -> dict[str, _DischargeInfo]: ...
    @property
    def initial_elevation(self) -> float: ...

class BasinRun:
    """Every element's outflow of one run; not constructible."""

    @property
    def names(self) -> list[str]: ...
    @property
    def time_step(self) -> timedelta: ...
    def __getitem__(self, name: str) -> ElementRun: ...
    def __len__(self) -> int: ...
    def summary(self) -> dict[str, dict[str, Any]]:
        """Per element: peak, time_of_peak, volume_in, volume_out, balance (acre-feet)."""
    def to_dataframe(self, start: datetime | str | None = None) -> Any:
        """A pandas DataFrame of the outflows, one column per element."""

class ElementRun:
    """One element's outflow in a run; not constructible."""

    @property
    def name(self) -> str: ...
    @property
    def outflow(self) -> ContinuousTimeSeries: ...
    @property
    def series(self) -> dict[str, ContinuousTimeSeries | IncrementalTimeSeries]:
        """A sub-basin's excess, loss, direct and baseflow; a reservoir's storage, elevation and
        each outlet's release; empty for the other elements."""

@final
class CurveNumber:
    """SCS curve-number loss: the curve number for its antecedent moisture condition (1-3)."""

    def __new__(
        cls,
        curve_number: FloatLike,
        initial_abstraction_ratio: FloatLike = 0.2,
        antecedent_moisture: SupportsIndex = 2,
    ) -> Self: ...
    @property
    def curve_number(self) -> float: ...
    @property
    def initial_abstraction_ratio(self) -> float: ...
    @property
    def antecedent_moisture(self) -> int: ...

@final
class GreenAmpt:
    """Green-Ampt loss: K in inches per hour, suction head and infiltration in inches."""

    def __new__(
        cls,
        hydraulic_conductivity: FloatLike,
        suction_head: FloatLike,
        moisture_deficit: FloatLike,
        initial_infiltration: FloatLike = 0.0,
    ) -> Self: ...
    @property
    def hydraulic_conductivity(self) -> float: ...
    @property
    def suction_head(self) -> float: ...
    @property
    def moisture_deficit(self) -> float: ...
    @property
    def initial_infiltration(self) -> float: ...

@final
class ScsUnitHydrograph:
    """SCS dimensionless unit hydrograph on the sub-basin's area: lag and peak rate factor."""

    def __new__(cls, lag: timedelta, peak_rate_factor: FloatLike = 484.0) -> Self: ...
    @property
    def lag(self) -> timedelta: ...
    @property
    def peak_rate_factor(self) -> float: ...

@final
class Snyder:
    """Snyder's unit hydrograph on the sub-basin's area: Ct, Cp and the lengths in miles."""

    def __new__(
        cls,
        ct: FloatLike,
        cp: FloatLike,
        stream_length: FloatLike,
        centroid_length: FloatLike,
    ) -> Self: ...
    @property
    def ct(self) -> float: ...
    @property
    def cp(self) -> float: ...
    @property
    def stream_length(self) -> float: ...
    @property
    def centroid_length(self) -> float: ...

@final
class MuskingumCunge:
    """Muskingum-Cunge routing of a reach from its channel: lengths in ft, slope in ft/ft."""

    def __new__(
        cls,
        length: FloatLike,
        slope: FloatLike,
        manning_n: FloatLike,
        bottom_width: FloatLike,
        side_slope: FloatLike = 0.0,
        reference_flow: FloatLike | None = None,
        sub_reaches: SupportsIndex | None = None,
        sub_steps: SupportsIndex | None = None,
    ) -> Self: ...
    @property
    def length(self) -> float: ...
    @property
    def slope(self) -> float: ...
    @property
    def manning_n(self) -> float: ...
    @property
    def bottom_width(self) -> float: ...
    @property
    def side_slope(self) -> float: ...
    @property
    def reference_flow(self) -> float | None: ...
    @property
    def sub_reaches(self) -> int | None: ...
    @property
    def sub_steps(self) -> int | None: ...

@final
class StorageIndication:
    """Storage-indication routing of a reservoir: the arguments of LevelPool."""

    def __new__(
        cls,
        elevation_storage: ElevationStorage,
        outlets: dict[str, _DischargeInfo],
        initial_elevation: FloatLike,
    ) -> Self: ...
    @property
    def elevation_storage(self) -> ElevationStorage: ...
    @property
    def outlets(self) -> dict[str, _DischargeInfo]: ...
    @property
    def initial_elevation(self) -> float: ...
