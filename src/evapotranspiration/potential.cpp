// Potential evapotranspiration (Oudin, Hargreaves and Samani, Hamon); see the header for the
// equations and units.
#include "evapotranspiration/potential.hpp"

#include <cmath>
#include <cstdint>
#include <string>

#include "core/format.hpp"
#include "core/large_vector.hpp"
#include "evapotranspiration/radiation.hpp"

namespace vesparil {

namespace {

double oudin(double t, const SolarDay& sun) {
    const double warmth = t + 5.0;
    if (warmth <= 0.0) return 0.0;  // a NaN temperature gives NaN below
    return (sun.radiation / 2.45) * (warmth / 100.0);
}

double hamon(double t, const SolarDay& sun) {
    const double es = 0.6108 * std::exp(17.27 * t / (t + 237.3));
    const double pt = 2166.8 * es / (t + 273.15);
    const double d = sun.daylight_hours / 12.0;
    return 25.4 * (0.0055 * d * d * pt);
}

// Checks the latitude and every day, then fills one value per day with `value(i, sun)`.
template <class Value>
Result<std::vector<double>> per_day(double latitude, std::span<const double> day_of_year,
                                    InterruptCheck interrupt, Value&& value) {
    if (auto checked = check_latitude(latitude); !checked) return std::move(checked).error();
    for (const double day : day_of_year) {
        if (auto checked = check_day_of_year(day); !checked) return std::move(checked).error();
    }
    std::vector<double> out;
    reserve_large(out, day_of_year.size());
    InterruptCounter counter(interrupt);
    for (std::size_t i = 0; i < day_of_year.size(); ++i) {
        out.push_back(value(i, solar_day(latitude, day_of_year[i])));
        if (counter.stop_requested_after(8)) [[unlikely]]
            return Error::interrupted();
    }
    return out;
}

Result<void> same_length(const char* name, std::size_t size, std::size_t days) {
    if (size == days) return {};
    return Error::value(std::string(name) + " and day_of_year must have the same length");
}

}  // namespace

Result<std::vector<double>> extraterrestrial_radiation(double latitude,
                                                       std::span<const double> day_of_year,
                                                       InterruptCheck interrupt) {
    return per_day(latitude, day_of_year, interrupt,
                   [](std::size_t, const SolarDay& sun) { return sun.radiation; });
}

Result<std::vector<double>> potential_evapotranspiration(PetMethod method,
                                                         std::span<const double> temperature,
                                                         double latitude,
                                                         std::span<const double> day_of_year,
                                                         InterruptCheck interrupt) {
    if (auto checked = same_length("temperature", temperature.size(), day_of_year.size());
        !checked) {
        return std::move(checked).error();
    }
    if (method == PetMethod::Oudin) {
        return per_day(latitude, day_of_year, interrupt, [&](std::size_t i, const SolarDay& sun) {
            return oudin(temperature[i], sun);
        });
    }
    return per_day(latitude, day_of_year, interrupt, [&](std::size_t i, const SolarDay& sun) {
        return hamon(temperature[i], sun);
    });
}

Result<std::vector<double>> hargreaves_evapotranspiration(std::span<const double> temperature_min,
                                                          std::span<const double> temperature_max,
                                                          double latitude,
                                                          std::span<const double> day_of_year,
                                                          InterruptCheck interrupt) {
    for (auto [name, size] : {std::pair{"temperature_min", temperature_min.size()},
                              std::pair{"temperature_max", temperature_max.size()}}) {
        if (auto checked = same_length(name, size, day_of_year.size()); !checked) {
            return std::move(checked).error();
        }
    }
    for (std::size_t i = 0; i < temperature_min.size(); ++i) {
        if (temperature_max[i] < temperature_min[i]) {
            return Error::value("temperature_max is below temperature_min at index " +
                                format_int(static_cast<std::int64_t>(i)));
        }
    }
    return per_day(latitude, day_of_year, interrupt, [&](std::size_t i, const SolarDay& sun) {
        const double tmax = temperature_max[i];
        const double tmin = temperature_min[i];
        const double tmean = (tmax + tmin) / 2.0;
        const double et0 =
            0.0023 * (tmean + 17.8) * std::sqrt(tmax - tmin) * (0.408 * sun.radiation);
        return et0 < 0.0 ? 0.0 : et0;
    });
}

}  // namespace vesparil
