// Baseflow layers as cascades of equal linear reservoirs (Nash 1957); see the header for the
// recurrence and units.
#include "baseflow/linear_reservoir.hpp"

#include <algorithm>
#include <cstddef>

#include "core/format.hpp"
#include "core/large_vector.hpp"
#include "core/seconds.hpp"
#include "core/units.hpp"

namespace vesparil {

namespace {

// Largest fraction sum let through: a little slack so that shares written with rounding (for
// example 0.6 and 0.4000005) still add up to "all of it".
constexpr double kMaxTotalFraction = 1.000001;

// Steps routed at a time: a block's flows stay in the first-level cache while the cascade's
// reservoirs pass over it.
constexpr std::size_t kBlockSteps = 1024;
// Reservoirs whose state is held in registers through one pass over a block.
constexpr std::size_t kGroupSize = 4;

// Routes a block of flows through `Size` consecutive reservoirs of a cascade, in place: on entry
// flows[i] is the first reservoir's inflow, on return the last one's outflow. Each reservoir
// obeys Q = Q_prev * d + I * c exactly as written, so routing reservoir by reservoir in groups
// gives the same values as routing every reservoir at each step in turn; only the schedule
// changes, and with it the time: the state stays in registers, and a reservoir's next step does
// not wait for the ones below it.
template <std::size_t Size>
void route_group(double* __restrict__ state, double* __restrict__ flows, std::size_t count,
                 double c, double d) {
    double q[Size];
    for (std::size_t g = 0; g < Size; ++g) q[g] = state[g];
    for (std::size_t i = 0; i < count; ++i) {
        double flow = flows[i];
#pragma GCC unroll 4
        for (std::size_t g = 0; g < Size; ++g) {
            flow = reservoir_step(q[g], flow, c, d);
            q[g] = flow;
        }
        flows[i] = flow;
    }
    for (std::size_t g = 0; g < Size; ++g) state[g] = q[g];
}

// Routes a block through the whole cascade `state` (one value per reservoir, updated). False
// when the caller asked to stop; a very long cascade is asked between groups.
bool route_cascade(std::vector<double>& state, double* flows, std::size_t count, double c, double d,
                   InterruptCounter& counter) {
    double* const chain = state.data();
    const std::size_t length = state.size();
    for (std::size_t first = 0; first < length; first += kGroupSize) {
        switch (std::min(kGroupSize, length - first)) {
            case 1:
                route_group<1>(chain + first, flows, count, c, d);
                break;
            case 2:
                route_group<2>(chain + first, flows, count, c, d);
                break;
            case 3:
                route_group<3>(chain + first, flows, count, c, d);
                break;
            default:
                route_group<4>(chain + first, flows, count, c, d);
                break;
        }
        if (counter.stop_requested_after(count * kGroupSize)) [[unlikely]]
            return false;
    }
    return true;
}

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

Result<void> check_total_fraction(
    const std::vector<std::pair<std::string, LinearReservoir>>& layers) {
    double total_fraction = 0.0;
    for (const auto& [name, layer] : layers) total_fraction += layer.gw_fraction;
    if (total_fraction > kMaxTotalFraction) {
        return Error::value("Total fraction " + format_double(total_fraction) + " > 1.0");
    }
    return {};
}

Result<LayerWeights> layer_weights(const LinearReservoir& layer, double dt_hr) {
    const double half_step = 0.5 * dt_hr;
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
    return LayerWeights{c, 1.0 - c};
}

Result<LinearReservoirRun> run_linear_reservoir(
    double basin_area, const std::vector<double>& rainfall, std::int32_t time_step,
    const std::vector<std::pair<std::string, LinearReservoir>>& layers, InterruptCheck interrupt) {
    auto fractions = check_total_fraction(layers);
    if (!fractions) return std::move(fractions).error();

    const std::size_t steps = rainfall.size();
    const double dt_hr = static_cast<double>(time_step) / kSecondsPerHour;
    const double area_factor = basin_area * kCfsPerAcreInchPerHour;

    // Each layer's weights, checked in the given order, with its cascade and its output.
    struct LayerRoute {
        double gw_fraction;
        double c;
        double d;
        std::vector<double> state;
        std::vector<double> output;
    };
    std::vector<LayerRoute> routes;
    routes.reserve(layers.size());
    for (const auto& [name, layer] : layers) {
        auto weights = layer_weights(layer, dt_hr);
        if (!weights) return std::move(weights).error();
        const double c = weights->c;
        const double d = weights->d;
        auto& route = routes.emplace_back(
            LayerRoute{layer.gw_fraction,
                       c,
                       d,
                       std::vector<double>(layer.num_reservoir, layer.initial_q),
                       {}});
        reserve_large(route.output, steps);
    }

    // Block by block, every layer in turn: the block's rainfall and total stay in the cache
    // while the layers read and add to them. Each total[t] receives the layers one after another,
    // in layer order, starting from zero (so a first layer's -0.0 becomes 0.0, as in a sum).
    std::vector<double> total;
    if (routes.empty()) total.assign(steps, 0.0);
    reserve_large(total, steps);
    const double* __restrict__ const rain = rainfall.data();
    double flows[kBlockSteps];
    double sums[kBlockSteps];
    InterruptCounter counter(interrupt);
    for (std::size_t start = 0; start < steps && !routes.empty(); start += kBlockSteps) {
        const std::size_t count = std::min(kBlockSteps, steps - start);
        for (std::size_t k = 0; k < routes.size(); ++k) {
            LayerRoute& route = routes[k];
            for (std::size_t i = 0; i < count; ++i) {
                flows[i] = layer_inflow(rain[start + i], route.gw_fraction, dt_hr, area_factor);
            }
            if (!route_cascade(route.state, flows, count, route.c, route.d, counter)) {
                return Error::interrupted();
            }
            route.output.insert(route.output.end(), flows, flows + count);
            if (k == 0) {
                for (std::size_t i = 0; i < count; ++i) sums[i] = flows[i] + 0.0;
            } else {
                for (std::size_t i = 0; i < count; ++i) sums[i] = flows[i] + sums[i];
            }
            if (counter.stop_requested_after(count)) [[unlikely]]
                return Error::interrupted();
        }
        total.insert(total.end(), sums, sums + count);
    }

    LinearReservoirRun run{
        ContinuousTimeSeries{std::move(total), std::string(kKindDischarge), time_step}, {}};
    run.layers.reserve(layers.size());
    for (std::size_t k = 0; k < routes.size(); ++k) {
        run.layers.emplace_back(layers[k].first,
                                ContinuousTimeSeries{std::move(routes[k].output),
                                                     std::string(kKindDischarge), time_step});
    }
    return run;
}

}  // namespace vesparil
