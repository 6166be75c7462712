# vesparil.basin, continued: the continuous models, snow stores and PET methods of a daily
# sub-basin (re-exported by _basin).
from typing import Self, final

from vesparil._types import FloatLike, FloatVector

@final
class GR4J:
    """GR4J as a sub-basin's whole runoff on a daily basin (mm, mm/day, days)."""

    def __new__(
        cls,
        x1: FloatLike,
        x2: FloatLike,
        x3: FloatLike,
        x4: FloatLike,
        initial_production: FloatLike = 0.3,
        initial_routing: FloatLike = 0.5,
        snow: DegreeDaySnow | CemaNeige | None = None,
    ) -> Self: ...
    @property
    def x1(self) -> float: ...
    @property
    def x2(self) -> float: ...
    @property
    def x3(self) -> float: ...
    @property
    def x4(self) -> float: ...
    @property
    def initial_production(self) -> float: ...
    @property
    def initial_routing(self) -> float: ...
    @property
    def snow(self) -> DegreeDaySnow | CemaNeige | None: ...

@final
class HBV:
    """HBV as a sub-basin's whole runoff on a daily basin (mm, mm/day, deg C, days)."""

    def __new__(
        cls,
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
    ) -> Self: ...
    @property
    def tt(self) -> float: ...
    @property
    def cfmax(self) -> float: ...
    @property
    def sfcf(self) -> float: ...
    @property
    def cfr(self) -> float: ...
    @property
    def cwh(self) -> float: ...
    @property
    def fc(self) -> float: ...
    @property
    def lp(self) -> float: ...
    @property
    def beta(self) -> float: ...
    @property
    def perc(self) -> float: ...
    @property
    def uzl(self) -> float: ...
    @property
    def k0(self) -> float: ...
    @property
    def k1(self) -> float: ...
    @property
    def k2(self) -> float: ...
    @property
    def maxbas(self) -> float: ...
    @property
    def initial_soil_moisture(self) -> float: ...
    @property
    def initial_upper_zone(self) -> float: ...
    @property
    def initial_lower_zone(self) -> float: ...

@final
class DegreeDaySnow:
    """A degree-day snow store in front of GR4J (deg C, mm/(deg C day), mm)."""

    def __new__(
        cls,
        threshold_temperature: FloatLike,
        melt_factor: FloatLike,
        refreezing_coefficient: FloatLike,
        water_holding: FloatLike,
        initial_snowpack: FloatLike = 0.0,
    ) -> Self: ...
    @property
    def threshold_temperature(self) -> float: ...
    @property
    def melt_factor(self) -> float: ...
    @property
    def refreezing_coefficient(self) -> float: ...
    @property
    def water_holding(self) -> float: ...
    @property
    def initial_snowpack(self) -> float: ...

@final
class CemaNeige:
    """A CemaNeige snow store over equal-area bands (mm/(deg C day), mm, m, deg C per 100 m)."""

    def __new__(
        cls,
        kf: FloatLike,
        ctg: FloatLike,
        mean_annual_snowfall: FloatLike,
        elevations: FloatVector,
        median_elevation: FloatLike,
        temperature_gradient: FloatLike = -0.65,
        precipitation_gradient: FloatLike = 0.0004,
    ) -> Self: ...
    @property
    def kf(self) -> float: ...
    @property
    def ctg(self) -> float: ...
    @property
    def mean_annual_snowfall(self) -> float: ...
    @property
    def elevations(self) -> list[float]: ...
    @property
    def median_elevation(self) -> float: ...
    @property
    def temperature_gradient(self) -> float: ...
    @property
    def precipitation_gradient(self) -> float: ...

@final
class Oudin:
    """A daily sub-basin's PET by Oudin et al. (2005) from "temperature" and "day_of_year"."""

    def __new__(cls, latitude: FloatLike) -> Self: ...
    @property
    def latitude(self) -> float: ...

@final
class Hargreaves:
    """A daily sub-basin's PET by Hargreaves and Samani (1985) from the daily extremes."""

    def __new__(cls, latitude: FloatLike) -> Self: ...
    @property
    def latitude(self) -> float: ...

@final
class Hamon:
    """A daily sub-basin's PET by Hamon (1961) from "temperature" and "day_of_year"."""

    def __new__(cls, latitude: FloatLike) -> Self: ...
    @property
    def latitude(self) -> float: ...
