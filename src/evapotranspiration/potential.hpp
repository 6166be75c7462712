// Potential evapotranspiration from daily temperature, latitude and day of year, three ways.
// Ra and N come from radiation.hpp (FAO-56). Units: temperatures in deg C, latitude in degrees,
// results in mm/day (1 kg of water per m^2 is 1 mm).
//
// Oudin, Hervieu, Michel, Perrin, Andreassian, Anctil and Loumagne (2005), J. Hydrol. 303:
//   PE = Ra / (lambda rho) (T + 5) / 100 when T + 5 > 0, else 0; lambda = 2.45 MJ/kg and
//   rho = 1000 kg/m^3 give m/day, so in mm/day: PE = (Ra / 2.45) ((T + 5) / 100).
// Hargreaves and Samani (1985), in the form of FAO-56 eq. 52 with Ra in mm/day (eq. 20: times
// 0.408):
//   Tmean = (Tmax + Tmin) / 2
//   ET0 = 0.0023 (Tmean + 17.8) sqrt(Tmax - Tmin) (0.408 Ra), and 0 where that is negative
//   (Tmean below -17.8 deg C): a negative potential would add water to a model's input.
// Hamon (1961), J. Hydraul. Div. ASCE 87, converted from inches (times 25.4):
//   es = 0.6108 exp(17.27 T / (T + 237.3)), kPa                          (FAO-56 eq. 11)
//   Pt = 2166.8 es / (T + 273.15), g/m^3: the saturated vapour density, from the ideal gas law
//        with Rv = 461.5 J/(kg K)
//   D = N / 12;  PET = 25.4 (0.0055 D^2 Pt)
#pragma once

#include <span>
#include <vector>

#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

enum class PetMethod { Oudin, Hamon };

// Ra (MJ m^-2 day^-1) for every day of year.
Result<std::vector<double>> extraterrestrial_radiation(double latitude,
                                                       std::span<const double> day_of_year,
                                                       InterruptCheck interrupt = {});

// Oudin or Hamon from the daily mean temperature.
Result<std::vector<double>> potential_evapotranspiration(PetMethod method,
                                                         std::span<const double> temperature,
                                                         double latitude,
                                                         std::span<const double> day_of_year,
                                                         InterruptCheck interrupt = {});

// Hargreaves and Samani from the daily minimum and maximum temperatures.
Result<std::vector<double>> hargreaves_evapotranspiration(std::span<const double> temperature_min,
                                                          std::span<const double> temperature_max,
                                                          double latitude,
                                                          std::span<const double> day_of_year,
                                                          InterruptCheck interrupt = {});

}  // namespace vesparil
