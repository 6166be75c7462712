#include "reservoir_routing/reservoir_utils/uncontrolled_discharge.hpp"

namespace vesparil {

Result<double> get_discharge(const UnControlledDischargeInfo& outlet, double elevation,
                             std::optional<std::int64_t> /*duration_secs*/) {
    const auto& curve = outlet.elevation_discharge;
    InterpTable rating(curve.elevation, curve.discharge);
    if (const auto release = try_release(outlet, rating, elevation)) return *release;

    return detail::rating_lookup_failure(curve, rating, shifted_elevation(outlet, elevation));
}

}  // namespace vesparil
