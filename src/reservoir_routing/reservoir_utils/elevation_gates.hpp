// The optional elevation gates of an outlet: it releases nothing while the water surface lies
// below `minimum_elevation` or above `maximum_elevation`. A gate value itself is inside, and so
// is a NaN elevation (it compares false against both gates).
#pragma once

#include <optional>

namespace vesparil {

inline bool outside_gates(const std::optional<double>& minimum_elevation,
                          const std::optional<double>& maximum_elevation, double elevation) {
    return (minimum_elevation.has_value() && elevation < *minimum_elevation) ||
           (maximum_elevation.has_value() && elevation > *maximum_elevation);
}

}  // namespace vesparil
