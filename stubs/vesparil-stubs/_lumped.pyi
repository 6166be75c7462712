# vesparil.lumped: daily lumped rainfall-runoff models, in mm/day.
from typing import SupportsIndex

from vesparil._types import FloatLike, FloatVector

__all__ = ["run_gr4j", "GR4JResult", "run_hbv", "HBVResult"]

class GR4JResult:
    """One value per day after the warm-up; flows in mm/day, stores in mm; not constructible."""

    @property
    def flow(self) -> list[float]: ...
    @property
    def production_store(self) -> list[float]: ...
    @property
    def routing_store(self) -> list[float]: ...
    @property
    def unit_hydrograph_store(self) -> list[float]: ...
    @property
    def actual_evapotranspiration(self) -> list[float]: ...
    @property
    def exchange(self) -> list[float]: ...

def run_gr4j(
    precipitation: FloatVector,
    evapotranspiration: FloatVector,
    x1: FloatLike,
    x2: FloatLike,
    x3: FloatLike,
    x4: FloatLike,
    initial_production: FloatLike = 0.3,
    initial_routing: FloatLike = 0.5,
    warmup: SupportsIndex = 0,
) -> GR4JResult:
    """GR4J (Perrin et al. 2003) over daily P and E in mm/day."""

class HBVResult:
    """One value per day after the warm-up; flows in mm/day, stores in mm; not constructible."""

    @property
    def flow(self) -> list[float]: ...
    @property
    def snowpack(self) -> list[float]: ...
    @property
    def snow_water(self) -> list[float]: ...
    @property
    def soil_moisture(self) -> list[float]: ...
    @property
    def upper_zone(self) -> list[float]: ...
    @property
    def lower_zone(self) -> list[float]: ...
    @property
    def routing_store(self) -> list[float]: ...
    @property
    def actual_evapotranspiration(self) -> list[float]: ...
    @property
    def recharge(self) -> list[float]: ...
    @property
    def snowfall(self) -> list[float]: ...

def run_hbv(
    precipitation: FloatVector,
    temperature: FloatVector,
    evapotranspiration: FloatVector,
    tt: FloatLike,
    cfmax: FloatLike,
    sfcf: FloatLike,
    cfr: FloatLike,
    cwh: FloatLike,
    fc: FloatLike,
    lp: FloatLike,
    beta: FloatLike,
    perc: FloatLike,
    uzl: FloatLike,
    k0: FloatLike,
    k1: FloatLike,
    k2: FloatLike,
    maxbas: FloatLike,
    initial_soil_moisture: FloatLike = 0.5,
    initial_upper_zone: FloatLike = 0.0,
    initial_lower_zone: FloatLike = 0.0,
    warmup: SupportsIndex = 0,
) -> HBVResult:
    """HBV light (Seibert and Vis 2012) over daily P and E in mm/day and T in deg C."""
