# vesparil.snow: a degree-day snow store and CemaNeige, daily, in mm/day and deg C.
from typing import SupportsIndex

from vesparil._types import FloatLike, FloatVector

__all__ = ["run_degree_day_snow", "DegreeDaySnowResult", "run_cemaneige", "CemaNeigeResult"]

class DegreeDaySnowResult:
    """One value per day after the warm-up, in mm or mm/day; not constructible."""

    @property
    def outflow(self) -> list[float]: ...
    @property
    def snowpack(self) -> list[float]: ...
    @property
    def snow_water(self) -> list[float]: ...
    @property
    def snowfall(self) -> list[float]: ...
    @property
    def melt(self) -> list[float]: ...

def run_degree_day_snow(
    precipitation: FloatVector,
    temperature: FloatVector,
    threshold_temperature: FloatLike,
    melt_factor: FloatLike,
    refreezing_coefficient: FloatLike,
    water_holding: FloatLike,
    initial_snowpack: FloatLike = 0.0,
    warmup: SupportsIndex = 0,
) -> DegreeDaySnowResult:
    """A degree-day snow store over daily P (mm/day) and T (deg C)."""

class CemaNeigeResult:
    """Catchment means, one value per day after the warm-up; not constructible."""

    @property
    def liquid_water(self) -> list[float]: ...
    @property
    def snowpack(self) -> list[float]: ...
    @property
    def melt(self) -> list[float]: ...
    @property
    def snowfall(self) -> list[float]: ...
    @property
    def thermal_state(self) -> list[float]: ...

def run_cemaneige(
    precipitation: FloatVector,
    temperature: FloatVector,
    kf: FloatLike,
    ctg: FloatLike,
    mean_annual_snowfall: FloatLike,
    elevations: FloatVector,
    median_elevation: FloatLike,
    temperature_gradient: FloatLike = -0.65,
    precipitation_gradient: FloatLike = 0.0004,
    warmup: SupportsIndex = 0,
) -> CemaNeigeResult:
    """CemaNeige (Valery et al. 2014) over equal-area elevation bands."""
