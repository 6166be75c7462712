// Checks on the daily series that drive the continuous models (GR4J, HBV, the snow stores, the
// evapotranspiration formulas and the basin's daily front).
//
// Their arithmetic takes every value as it comes, and a NaN slips through a comparison such as
// `p >= e` or `t + 5 > 0` as if it were a number on the other side of it: the model then gives
// flows that look like any others. So each series is checked once, before any model runs, and the
// first value refused is named with its index.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <string>

#include "core/format.hpp"
#include "core/result.hpp"

namespace vesparil {

namespace driving_detail {

inline Error refused(const char* name, std::size_t index, double value, const char* rule) {
    const std::string at = " at index " + format_int(static_cast<std::int64_t>(index));
    if (std::isnan(value)) {
        return Error::value(std::string(name) + " has a missing value (NaN)" + at);
    }
    return Error::value(std::string(name) + " must be " + rule + "; got " + format_double(value) +
                        at);
}

}  // namespace driving_detail

// A depth per step (precipitation, evapotranspiration): finite and >= 0.
inline Result<void> check_depths(const char* name, std::span<const double> values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double value = values[i];
        if (!(value >= 0.0 && value < INFINITY)) {
            return driving_detail::refused(name, i, value, "finite and >= 0");
        }
    }
    return {};
}

// Any finite value (a temperature, a flow).
inline Result<void> check_finite(const char* name, std::span<const double> values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!std::isfinite(values[i])) return driving_detail::refused(name, i, values[i], "finite");
    }
    return {};
}

// A temperature: finite.
inline Result<void> check_temperatures(const char* name, std::span<const double> values) {
    return check_finite(name, values);
}

// The series of one model run, in this order; a series the model does not take is empty.
inline Result<void> check_drivers(std::span<const double> precipitation,
                                  std::span<const double> temperature,
                                  std::span<const double> evapotranspiration) {
    if (auto checked = check_depths("precipitation", precipitation); !checked) return checked;
    if (auto checked = check_temperatures("temperature", temperature); !checked) return checked;
    return check_depths("evapotranspiration", evapotranspiration);
}

}  // namespace vesparil
