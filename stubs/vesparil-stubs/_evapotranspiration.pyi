# vesparil.evapotranspiration: extraterrestrial radiation (FAO-56) and potential
# evapotranspiration from temperature, in mm/day.
from vesparil._types import FloatLike, FloatVector

__all__ = [
    "calculate_extraterrestrial_radiation",
    "calculate_pet_oudin",
    "calculate_pet_hargreaves",
    "calculate_pet_hamon",
]

def calculate_extraterrestrial_radiation(
    latitude: FloatLike, day_of_year: FloatVector
) -> list[float]:
    """Ra in MJ m-2 day-1 for each day of year (1 to 366) at `latitude` degrees."""

def calculate_pet_oudin(
    temperature: FloatVector, latitude: FloatLike, day_of_year: FloatVector
) -> list[float]:
    """Oudin et al. (2005), mm/day, from the daily mean temperature in deg C."""

def calculate_pet_hargreaves(
    temperature_min: FloatVector,
    temperature_max: FloatVector,
    latitude: FloatLike,
    day_of_year: FloatVector,
) -> list[float]:
    """Hargreaves and Samani (1985), mm/day, from daily extremes in deg C."""

def calculate_pet_hamon(
    temperature: FloatVector, latitude: FloatLike, day_of_year: FloatVector
) -> list[float]:
    """Hamon (1961), mm/day, from the daily mean temperature in deg C."""
