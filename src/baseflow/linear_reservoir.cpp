// Baseflow layers as cascades of equal linear reservoirs (Nash 1957); see the header for the
// recurrence and units.
#include "baseflow/linear_reservoir.hpp"

#include <cstddef>

#include "core/format.hpp"
#include "core/seconds.hpp"
#include "core/units.hpp"

namespace vesparil {

namespace {

// Largest fraction sum let through: a little slack so that shares written with rounding (for
// example 0.6 and 0.4000005) still add up to "all of it".
constexpr double kMaxTotalFraction = 1.000001;

}  // namespace

Result<LinearReservoir> make_linear_reservoir(double k_duration_seconds, double gw_fraction,
                                              double initial_q, std::size_t num_reservoir) {
    const std::int32_t k_seconds = saturating_whole_seconds(k_duration_seconds);
    if (k_seconds <= 0) return Error::value("k_duration must be > 0");
    // Two plain comparisons: a NaN fraction is let through on purpose.
    if (gw_fraction < 0.0 || gw_fraction > 1.0) {
        return Error::value("gw_fraction must be between 0 and 1");
    }
    if (num_reservoir == 0) return Error::value("num_reservoir must be at least 1");
    return LinearReservoir{gw_fraction, initial_q, k_seconds, num_reservoir};
}

Result<LinearReservoirRun> run_linear_reservoir(
    double basin_area, const std::vector<double>& rainfall, std::int32_t time_step,
    const std::vector<std::pair<std::string, LinearReservoir>>& layers, InterruptCheck interrupt) {
    double total_fraction = 0.0;
    for (const auto& [name, layer] : layers) total_fraction += layer.gw_fraction;
    if (total_fraction > kMaxTotalFraction) {
        return Error::value("Total fraction " + format_double(total_fraction) + " > 1.0");
    }

    const std::size_t steps = rainfall.size();
    LinearReservoirRun run{ContinuousTimeSeries{std::vector<double>(steps, 0.0),
                                                std::string(kKindDischarge), time_step},
                           {}};
    run.layers.reserve(layers.size());

    const double dt_hr = static_cast<double>(time_step) / kSecondsPerHour;
    const double half_step = 0.5 * dt_hr;
    const double area_factor = basin_area * kCfsPerAcreInchPerHour;

    InterruptCounter counter(interrupt);
    for (const auto& [name, layer] : layers) {
        // A count of 0 (possible through the setter) gives an infinite K per reservoir, so the
        // layer passes its inflow straight through.
        const double k_hours = static_cast<double>(layer.k_seconds) / kSecondsPerHour;
        const double k_per_res = k_hours / static_cast<double>(layer.num_reservoir);
        // The scheme's weights go negative when a reservoir is faster than half a step.
        if (half_step > k_per_res) {
            return Error::value("Stability Error: k_per_res (" + format_fixed(k_per_res, 4) +
                                ") < 0.5*dt (" + format_fixed(half_step, 4) +
                                "). Increase k_hr or num_reservoir.");
        }
        const double c = dt_hr / (k_per_res + half_step);
        const double d = 1.0 - c;

        std::vector<double> state(layer.num_reservoir, layer.initial_q);
        std::vector<double> output;
        output.reserve(steps);

        const double gw_fraction = layer.gw_fraction;
        double* const chain = state.data();
        const std::size_t chain_length = state.size();
        double* const total = run.total.data.data();
        for (std::size_t t = 0; t < steps; ++t) {
            double flow = ((rainfall[t] * gw_fraction) / dt_hr) * area_factor;
            for (std::size_t j = 0; j < chain_length; ++j) {
                flow = chain[j] * d + flow * c;
                chain[j] = flow;
            }
            output.push_back(flow);
            // Adding here rather than in a second pass gives the same sums: each total[t]
            // still receives the layers one after another, in layer order.
            total[t] = flow + total[t];
            if (counter.stop_requested_after(chain_length + 1)) return Error::interrupted();
        }

        run.layers.emplace_back(
            name, ContinuousTimeSeries{std::move(output), std::string(kKindDischarge), time_step});
    }
    return run;
}

}  // namespace vesparil
