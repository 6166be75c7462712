#include "reservoir_routing/reservoir_utils/controlled_discharge.hpp"

#include <utility>

namespace vesparil {

Result<ControlledDischargeInfo> make_controlled_discharge(ElevationDischarge elevation_discharge,
                                                          std::optional<double> minimum_elevation,
                                                          std::optional<double> maximum_elevation,
                                                          std::optional<double> maximum_release) {
    const auto& curve = elevation_discharge.elevation;
    if (curve.empty()) return detail::rating_curve_without_points();
    const double bottom = curve.front();
    const double top = curve.back();

    // The floor keeps every lookup at or above the curve's first elevation.
    const double stored_minimum =
        minimum_elevation.has_value() ? nan_max(*minimum_elevation, bottom) : bottom;
    std::optional<double> stored_maximum;
    if (maximum_elevation.has_value()) stored_maximum = nan_min(*maximum_elevation, top);

    return ControlledDischargeInfo{std::move(elevation_discharge), stored_minimum, stored_maximum,
                                   maximum_release};
}

Result<double> get_discharge(const ControlledDischargeInfo& outlet, double elevation,
                             std::optional<std::int64_t> /*duration_secs*/) {
    const auto& curve = outlet.elevation_discharge;
    InterpTable rating(curve.elevation, curve.discharge);
    if (const auto release = try_release(outlet, rating, elevation)) return *release;

    return detail::rating_lookup_failure(curve, rating, elevation);
}

}  // namespace vesparil
