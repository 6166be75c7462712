#include "reservoir_routing/reservoir_utils/discharge_source.hpp"

namespace vesparil {

Result<double> get_discharge(const DischargeInfo& outlet, double elevation,
                             std::optional<std::int64_t> duration_secs) {
    return std::visit(
        [&](const auto& kind) { return get_discharge(kind, elevation, duration_secs); }, outlet);
}

DischargeSource::DischargeSource(const DischargeInfo& outlet) : outlet_(&outlet) {
    if (const auto* spillway = std::get_if<UnControlledDischargeInfo>(&outlet)) {
        rating_.emplace(spillway->elevation_discharge.elevation,
                        spillway->elevation_discharge.discharge);
    } else if (const auto* gate = std::get_if<ControlledDischargeInfo>(&outlet)) {
        rating_.emplace(gate->elevation_discharge.elevation, gate->elevation_discharge.discharge);
    }
}

}  // namespace vesparil
