// Extraterrestrial radiation and daylight hours from latitude and day of year, by the equations
// of FAO Irrigation and Drainage Paper 56 (Allen, Pereira, Raes and Smith 1998), chapter 3.
//
// Units: latitude in decimal degrees (north positive), day of year J in 1..366, Ra in
// MJ m^-2 day^-1, N in hours. In the order the code computes them:
//
//   phi = (pi / 180) latitude                                           (eq. 22)
//   dr = 1 + 0.033 cos(2 pi J / 365)                                    (eq. 23)
//   delta = 0.409 sin(2 pi J / 365 - 1.39)                              (eq. 24)
//   omega_s = arccos(-tan(phi) tan(delta)), the argument held to [-1, 1] so that polar night
//             gives 0 and midnight sun gives pi                         (eq. 25)
//   Ra = (24 (60) / pi) Gsc dr (omega_s sin(phi) sin(delta) + cos(phi) cos(delta) sin(omega_s)),
//        Gsc = 0.0820 MJ m^-2 min^-1                                     (eq. 21)
//   N = (24 / pi) omega_s                                               (eq. 34)
#pragma once

#include "core/result.hpp"

namespace vesparil {

struct SolarDay {
    double radiation;       // Ra, MJ m^-2 day^-1
    double daylight_hours;  // N, hours
};

// Fails with "latitude must be between -90 and 90" or "day_of_year must be between 1 and 366".
Result<void> check_latitude(double latitude_degrees);
Result<void> check_day_of_year(double day_of_year);

// No checks: the caller has made them.
SolarDay solar_day(double latitude_degrees, double day_of_year);

}  // namespace vesparil
