#include "reservoir_routing/reservoir_utils/specified_discharge.hpp"

#include <utility>

#include "core/format.hpp"
#include "core/nan_minmax.hpp"
#include "reservoir_routing/reservoir_utils/elevation_gates.hpp"

namespace vesparil {

Result<double> get_discharge(const SpecifiedDischargeInfo& outlet, double elevation,
                             std::optional<std::int64_t> duration_secs) {
    if (!duration_secs.has_value()) {
        return Error::runtime(
            "SpecifiedDischargeInfo requires duration_secs but none was provided.");
    }
    if (outside_gates(outlet.minimum_elevation, outlet.maximum_elevation, elevation)) return 0.0;

    const auto total = total_duration(outlet.discharge);
    if (!total) return total.error();
    const std::int64_t series_length = *total;
    const double elapsed = static_cast<double>(*duration_secs);
    if (elapsed > static_cast<double>(series_length)) {
        return Error::value("simulation duration " + format_double(elapsed) +
                            "s exceeds the specified discharge series length (" +
                            format_int(series_length) + "s).");
    }
    auto release = get_value(outlet.discharge, elapsed);
    if (!release.ok()) return std::move(release).error();
    if (!outlet.maximum_release.has_value()) return release.value();
    return nan_min(release.value(), *outlet.maximum_release);
}

}  // namespace vesparil
