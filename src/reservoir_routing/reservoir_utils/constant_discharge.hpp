// Constant-rate reservoir outlet.
//
// Releases a fixed rate (e.g. cfs) whenever the water-surface elevation lies within the optional
// gates [minimum_elevation, maximum_elevation], and nothing outside them:
//
//   Q(E) = 0                 if E < minimum_elevation or E > maximum_elevation
//   Q(E) = discharge         otherwise (a gate value itself releases the full rate)
//
// A NaN elevation compares false against both gates and releases the full rate.
#pragma once

#include <cstdint>
#include <optional>

#include "core/result.hpp"
#include "reservoir_routing/reservoir_utils/elevation_gates.hpp"

namespace vesparil {

struct ConstantDischargeInfo {
    double discharge = 0.0;
    std::optional<double> minimum_elevation;
    std::optional<double> maximum_elevation;
};

// The release at `elevation`; never fails.
inline double constant_release(const ConstantDischargeInfo& outlet, double elevation) {
    if (outside_gates(outlet.minimum_elevation, outlet.maximum_elevation, elevation)) return 0.0;
    return outlet.discharge;
}

// The elapsed time is not used: the rate does not vary in time.
Result<double> get_discharge(const ConstantDischargeInfo& outlet, double elevation,
                             std::optional<std::int64_t> duration_secs);

}  // namespace vesparil
