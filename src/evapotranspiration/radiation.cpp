// Extraterrestrial radiation by FAO-56; see the header for the equations and units.
#include "evapotranspiration/radiation.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vesparil {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kSolarConstant = 0.0820;  // Gsc, MJ m^-2 min^-1

}  // namespace

Result<void> check_latitude(double latitude_degrees) {
    if (latitude_degrees >= -90.0 && latitude_degrees <= 90.0) return {};
    return Error::value("latitude must be between -90 and 90");
}

Result<void> check_day_of_year(double day_of_year) {
    if (day_of_year >= 1.0 && day_of_year <= 366.0) return {};
    return Error::value("day_of_year must be between 1 and 366");
}

SolarDay solar_day(double latitude_degrees, double day_of_year) {
    const double phi = (kPi / 180.0) * latitude_degrees;
    const double dr = 1.0 + 0.033 * std::cos(2.0 * kPi * day_of_year / 365.0);
    const double delta = 0.409 * std::sin(2.0 * kPi * day_of_year / 365.0 - 1.39);
    const double cosine = std::clamp(-std::tan(phi) * std::tan(delta), -1.0, 1.0);
    const double omega = std::acos(cosine);
    const double ra = (24.0 * 60.0 / kPi) * kSolarConstant * dr *
                      (omega * std::sin(phi) * std::sin(delta) +
                       std::cos(phi) * std::cos(delta) * std::sin(omega));
    return {ra, (24.0 / kPi) * omega};
}

}  // namespace vesparil
