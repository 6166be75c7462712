// Whole seconds from a duration given in seconds, for the 32-bit time steps and storage
// constants of the models.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace vesparil {

// Truncation toward zero, saturating at both ends of the 32-bit range; NaN gives 0.
inline std::int32_t saturating_whole_seconds(double seconds) {
    if (std::isnan(seconds)) return 0;
    if (seconds >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (seconds <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(seconds);
}

}  // namespace vesparil
