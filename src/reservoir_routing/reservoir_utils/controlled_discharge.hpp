// Controlled reservoir outlet (gate, valve, conduit) on an elevation-discharge rating curve.
//
// With the curve's first and last elevations E1 and En and its piecewise-linear discharge q(E):
//
//   Q(E) = 0                          if E < minimum_elevation or E > maximum_elevation
//   error                             if E > En (possible only without a maximum_elevation)
//   Q(E) = 0                          if E < E1
//   Q(E) = min(q(E), maximum_release) otherwise
//
// The minimum elevation is never below E1 and the maximum never above En (clamped when the outlet
// is made). Minimum and maximum treat NaN as absent: the other operand is returned.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

#include "core/nan_minmax.hpp"
#include "core/result.hpp"
#include "reservoir_routing/reservoir_utils/elevation_discharge.hpp"
#include "reservoir_routing/reservoir_utils/elevation_gates.hpp"
#include "utils/general.hpp"

namespace vesparil {

struct ControlledDischargeInfo {
    ElevationDischarge elevation_discharge;
    std::optional<double> minimum_elevation;  // always present once made by the function below
    std::optional<double> maximum_elevation;
    std::optional<double> maximum_release;
};

// Raises `minimum_elevation` to at least E1 (E1 when absent or NaN) and lowers a given
// `maximum_elevation` to at most En (En when NaN); `maximum_release` is kept as given.
Result<ControlledDischargeInfo> make_controlled_discharge(ElevationDischarge elevation_discharge,
                                                          std::optional<double> minimum_elevation,
                                                          std::optional<double> maximum_elevation,
                                                          std::optional<double> maximum_release);

// The elapsed time is not used. Above the top of the curve (with no maximum elevation to gate it
// off) the result is a ValueError naming both elevations.
Result<double> get_discharge(const ControlledDischargeInfo& outlet, double elevation,
                             std::optional<std::int64_t> duration_secs);

// The common case of get_discharge, for loops: the rating curve is read through `rating`, which
// must be InterpTable(elevation_discharge.elevation, elevation_discharge.discharge) of this
// outlet. Absent where get_discharge fails; the caller then asks get_discharge for the error.
inline std::optional<double> try_release(const ControlledDischargeInfo& outlet, InterpTable& rating,
                                         double elevation) {
    const auto& curve = outlet.elevation_discharge.elevation;
    if (curve.empty()) [[unlikely]] {
        return std::nullopt;
    }
    if (outside_gates(outlet.minimum_elevation, outlet.maximum_elevation, elevation)) return 0.0;
    if (elevation > curve.back()) return std::nullopt;
    if (elevation < curve.front()) return 0.0;
    const auto rated = rating.try_within(elevation);
    if (!rated.has_value()) [[unlikely]] {
        return std::nullopt;
    }
    const double cap = outlet.maximum_release.has_value() ? *outlet.maximum_release
                                                          : std::numeric_limits<double>::infinity();
    return nan_min(*rated, cap);
}

}  // namespace vesparil
