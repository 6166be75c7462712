#include "reservoir_routing/reservoir_utils/discharge_source.hpp"

#include <limits>
#include <optional>

namespace vesparil {

Result<double> get_discharge(const DischargeInfo& outlet, double elevation,
                             std::optional<std::int64_t> duration_secs) {
    return std::visit(
        [&](const auto& kind) { return get_discharge(kind, elevation, duration_secs); }, outlet);
}

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

double value_or(const std::optional<double>& value, double absent) {
    return value.has_value() ? *value : absent;
}

}  // namespace

DischargeSource::DischargeSource(const DischargeInfo& outlet) : outlet_(&outlet) {
    if (const auto* spillway = std::get_if<UnControlledDischargeInfo>(&outlet)) {
        const ElevationDischarge& curve = spillway->elevation_discharge;
        // A curve without points always takes the plain lookup, which reports it.
        if (curve.elevation.empty()) return;
        kind_ = Kind::uncontrolled;
        rating_ = InterpTable(curve.elevation, curve.discharge);
        bottom_ = curve.elevation.front();
        top_ = curve.elevation.back();
        offset_ = value_or(spillway->elevation_offset, 0.0);
    } else if (const auto* gate = std::get_if<ControlledDischargeInfo>(&outlet)) {
        const ElevationDischarge& curve = gate->elevation_discharge;
        if (curve.elevation.empty()) return;
        kind_ = Kind::controlled;
        rating_ = InterpTable(curve.elevation, curve.discharge);
        bottom_ = curve.elevation.front();
        top_ = curve.elevation.back();
        minimum_ = value_or(gate->minimum_elevation, -kInfinity);
        maximum_ = value_or(gate->maximum_elevation, kInfinity);
        cap_ = value_or(gate->maximum_release, kInfinity);
    } else if (const auto* constant = std::get_if<ConstantDischargeInfo>(&outlet)) {
        kind_ = Kind::constant;
        minimum_ = value_or(constant->minimum_elevation, -kInfinity);
        maximum_ = value_or(constant->maximum_elevation, kInfinity);
        discharge_ = constant->discharge;
    }
}

}  // namespace vesparil
