#include "reservoir_routing/reservoir_utils/uncontrolled_discharge.hpp"

#include <utility>

namespace vesparil {

Result<double> get_discharge(const UnControlledDischargeInfo& outlet, double elevation,
                             std::optional<std::int64_t> /*duration_secs*/) {
    const auto& curve = outlet.elevation_discharge;
    InterpTable rating(curve.elevation, curve.discharge);
    if (const auto release = try_release(outlet, rating, elevation)) return *release;

    // Say which step failed.
    if (curve.elevation.empty()) return detail::rating_curve_without_points();
    const double shifted = shifted_elevation(outlet, elevation);
    if (shifted > curve.elevation.back()) {
        return detail::above_rating_curve(shifted, curve.elevation.back());
    }
    auto rated = rating.lookup(shifted, 0.0, std::nullopt);
    if (!rated.ok()) return std::move(rated).error();
    return detail::rating_lookup_absent();
}

}  // namespace vesparil
