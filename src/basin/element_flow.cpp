// Elements' outflows through the methods' own cores, lined up on the basin's axis (see the
// header for the rule).
#include "basin/element_flow.hpp"

#include <utility>

#include "baseflow/linear_reservoir.hpp"
#include "core/format.hpp"
#include "core/units.hpp"
#include "rainfall_loss/deficit_and_constant.hpp"
#include "rainfall_transform/clark_uh.hpp"
#include "reach_routing/muskingum.hpp"
#include "reservoir_routing/level_pool.hpp"

namespace vesparil {

Result<void> subbasin_outflow(const Subbasin& subbasin, const IncrementalTimeSeries& rain,
                              std::vector<double>& out, InterruptCheck interrupt,
                              ElementDetails* details) {
    const std::size_t steps = rain.data.size();
    std::optional<DeficitConstantResult> split;
    if (subbasin.loss) {
        const DeficitAndConstantLoss& loss = *subbasin.loss;
        split = run_deficit_and_constant(rain, loss.initial_deficit, loss.maximum_deficit,
                                         loss.constant_rate, loss.recovery_seconds);
    }
    const std::vector<double>& excess = split ? split->excess.data : rain.data;
    auto direct = clark_uh_rs(excess, rain.time_step, subbasin.area, subbasin.transform.tc_seconds,
                              subbasin.transform.storage_seconds, interrupt);
    if (!direct) return std::move(direct).error();
    std::vector<double>& runoff = direct.value();
    runoff.resize(steps);

    const std::vector<double> no_loss = split ? std::vector<double>{} : std::vector<double>(steps);
    const std::vector<double>& infiltrated = split ? split->loss.data : no_loss;
    // The baseflow on the axis: the layers' initial flows, then the core's values a step later.
    std::vector<double> base(steps, 0.0);
    if (!subbasin.baseflow.empty()) {
        auto run = run_linear_reservoir(subbasin.area, infiltrated, rain.time_step,
                                        subbasin.baseflow, interrupt);
        if (!run) return std::move(run).error();
        double initial = 0.0;
        for (const auto& [name, layer] : subbasin.baseflow) initial = initial + layer.initial_q;
        if (steps > 0) base[0] = initial;
        for (std::size_t i = 1; i < steps; ++i) base[i] = run->total.data[i - 1];
    }
    out.resize(steps);
    for (std::size_t i = 0; i < steps; ++i) out[i] = runoff[i] + base[i];
    if (details != nullptr) {
        *details = {{"excess", excess, true},
                    {"loss", infiltrated, true},
                    {"direct", std::move(runoff), false},
                    {"baseflow", std::move(base), false}};
    }
    return {};
}

Result<void> reach_outflow(const Reach& reach, std::int32_t time_step,
                           std::span<const double> inflow, std::vector<double>& out,
                           InterruptCheck interrupt) {
    const MuskingumRouting& routing = reach.routing;
    std::vector<double> flow(inflow.begin(), inflow.end());
    const double first = flow.empty() ? 0.0 : flow[0];
    auto routed = route_reach(std::move(flow), static_cast<double>(time_step), routing.k_seconds,
                              routing.x, routing.sub_reaches, first, interrupt);
    if (!routed) return std::move(routed).error();
    out = std::move(routed).value();
    return {};
}

Result<void> reservoir_outflow(const Reservoir& reservoir, std::int32_t time_step,
                               std::span<const double> inflow, std::vector<double>& out,
                               InterruptCheck interrupt, ElementDetails* details) {
    const LevelPoolRouting& routing = reservoir.routing;
    ContinuousTimeSeries padded{{}, std::string(kKindDischarge), time_step};
    padded.data.reserve(inflow.size() + 1);
    if (!inflow.empty()) padded.data.push_back(inflow[0]);
    padded.data.insert(padded.data.end(), inflow.begin(), inflow.end());
    auto pool = run_level_pool_routing(padded, routing.initial_elevation,
                                       routing.elevation_storage, routing.outlets, interrupt);
    if (!pool) return std::move(pool).error();
    out = std::move(pool->reservoir_total_outflow.data);
    if (details != nullptr) {
        *details = {{"storage", std::move(pool->reservoir_storage.data), false},
                    {"elevation", std::move(pool->reservoir_elevation.data), false}};
        for (auto& [name, release] : pool->reservoir_individual_outflows) {
            details->push_back({name, std::move(release.data), false});
        }
    }
    return {};
}

Result<void> check_element(const Element& element, std::int32_t time_step) {
    // Built only on failure: a batch checks every element of every member.
    const auto prefixed = [&](const std::string& message) {
        return Error::value(std::string(kind_word(element)) + " '" + element.name + "': " + message);
    };
    const double dt_hours = static_cast<double>(time_step) / kSecondsPerHour;
    if (const auto* subbasin = std::get_if<Subbasin>(&element.method)) {
        if (!(subbasin->area >= 0.0)) {
            return prefixed("area must be >= 0; got " + format_double(subbasin->area));
        }
        // The baseflow layers' own checks and messages, in their order (the constructor's, then
        // the run's), made here so that a batch meets them before any work.
        for (const auto& [name, layer] : subbasin->baseflow) {
            if (layer.k_seconds <= 0) return prefixed("k_duration must be > 0");
            if (layer.gw_fraction < 0.0 || layer.gw_fraction > 1.0) {
                return prefixed("gw_fraction must be between 0 and 1");
            }
        }
        auto fractions = check_total_fraction(subbasin->baseflow);
        if (!fractions) return prefixed(fractions.error().message);
        for (const auto& [name, layer] : subbasin->baseflow) {
            auto weights = layer_weights(layer, dt_hours);
            if (!weights) return prefixed(weights.error().message);
        }
        for (const double duration :
             {subbasin->transform.tc_seconds, subbasin->transform.storage_seconds,
              subbasin->loss ? subbasin->loss->recovery_seconds : 0.0}) {
            if (!(duration >= 0.0)) return prefixed("durations must be >= 0");
        }
    }
    if (const auto* reservoir = std::get_if<Reservoir>(&element.method)) {
        const LevelPoolRouting& routing = reservoir->routing;
        auto storage = get_storage(routing.elevation_storage, routing.initial_elevation);
        if (!storage) {
            if (storage.error().kind != ErrorKind::Value) return std::move(storage).error();
            return prefixed(storage.error().message);
        }
    }
    if (const auto* reach = std::get_if<Reach>(&element.method)) {
        const MuskingumRouting& routing = reach->routing;
        if (!weighting_factor_in_range(routing.x)) {
            return prefixed("x must be between 0 and 0.5; got " + format_double(routing.x));
        }
        if (routing.sub_reaches < 1) return prefixed("sub_reaches must be at least 1");
        if (!(routing.k_seconds >= 0.0)) {
            return prefixed("k must be >= 0; got " +
                            format_double(routing.k_seconds / kSecondsPerHour) + " h");
        }
        const double k_hours =
            routing.k_seconds / static_cast<double>(routing.sub_reaches) / kSecondsPerHour;
        // 2 k x above the step makes the inflow's weight C0 negative: the outflow dips below
        // zero when a flood arrives.
        if ((k_hours + k_hours) * routing.x > dt_hours) {
            return prefixed("Stability Error: 2*k*x per sub-reach (" +
                            format_fixed((k_hours + k_hours) * routing.x, 4) + ") > dt (" +
                            format_fixed(dt_hours, 4) +
                            "). Decrease k or x, or increase sub_reaches.");
        }
    }
    return {};
}

}  // namespace vesparil
