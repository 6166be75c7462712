#include "reservoir_routing/reservoir_utils/elevation_discharge.hpp"

#include <cstddef>
#include <utility>

#include "core/format.hpp"
#include "utils/general.hpp"

namespace vesparil {

Result<ElevationDischarge> make_elevation_discharge(std::vector<double> elevation,
                                                    std::vector<double> discharge) {
    if (elevation.size() != discharge.size()) {
        return Error::value("`elevation` and `discharge` must have the same length");
    }
    if (elevation.size() < 2) {
        return Error::value("`elevation` and `discharge` each must have at least 2 elements.");
    }
    if (!strictly_increasing(elevation)) {
        return Error::value("`elevation` must must be sorted and can't have duplicates");
    }
    if (!non_decreasing(discharge)) return Error::value("`discharge` must must be sorted");
    return ElevationDischarge{std::move(elevation), std::move(discharge)};
}

namespace detail {

Error rating_curve_without_points() {
    return Error::internal("index out of bounds: the elevation-discharge curve has no points");
}

Error rating_lookup_failure(const ElevationDischarge& curve, InterpTable& rating,
                            double elevation) {
    if (curve.elevation.empty()) return rating_curve_without_points();
    const double top = curve.elevation.back();
    if (elevation > top) {
        return Error::value("elevation " + format_double(elevation) +
                            " is above the maximum of the elevation-discharge curve (" +
                            format_double(top) + ").");
    }
    auto rated = rating.lookup(elevation, 0.0, std::nullopt);
    if (!rated.ok()) return std::move(rated).error();
    return Error::internal(
        "expected a discharge from the rating curve inside its range, but it was absent");
}

}  // namespace detail

}  // namespace vesparil
