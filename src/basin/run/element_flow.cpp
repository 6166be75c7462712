// Elements' outflows through the methods' own cores, lined up on the basin's axis (see the
// header for the rule).
#include "basin/run/element_flow.hpp"
#include "basin/daily/daily_front.hpp"

#include <utility>

#include "baseflow/linear_reservoir.hpp"
#include "core/format.hpp"
#include "core/overloaded.hpp"
#include "core/units.hpp"
#include "rainfall_loss/deficit_and_constant.hpp"
#include "rainfall_transform/clark_uh.hpp"
#include "rainfall_transform/scs_uh.hpp"
#include "rainfall_transform/snyder_uh.hpp"
#include "reach_routing/muskingum.hpp"
#include "reservoir_routing/level_pool.hpp"
#include "reservoir_routing/storage_indication.hpp"

namespace vesparil {

namespace {

// A loss method's split of the rain: excess and loss, inches per step, on the rain's axis.
struct RainSplit {
    std::vector<double> excess;
    std::vector<double> loss;
};

Result<RainSplit> split_rain(const LossMethod& method, const IncrementalTimeSeries& rain,
                             InterruptCheck interrupt) {
    const auto split_of = [](auto made) -> Result<RainSplit> {
        if (!made) return std::move(made).error();
        return RainSplit{std::move(made->excess.data), std::move(made->loss.data)};
    };
    return std::visit(
        Overloaded{
            [&](const DeficitAndConstantLoss& loss) -> Result<RainSplit> {
                DeficitConstantResult split =
                    run_deficit_and_constant(rain, loss.initial_deficit, loss.maximum_deficit,
                                             loss.constant_rate, loss.recovery_seconds);
                return RainSplit{std::move(split.excess.data), std::move(split.loss.data)};
            },
            [&](const CurveNumberLoss& loss) {
                return split_of(run_curve_number(rain, loss.parameters, interrupt));
            },
            [&](const GreenAmptLoss& loss) {
                return split_of(run_green_ampt(rain, loss.parameters, interrupt));
            },
        },
        method);
}

// A unit hydrograph whose ordinate j is the flow at the end of step j + 1 gives its value k at
// (k + 1) dt: on the axis it starts from no flow at 0 and moves one value later.
void one_step_later(std::vector<double>& runoff, std::size_t steps) {
    runoff.insert(runoff.begin(), 0.0);
    runoff.resize(steps);
}

}  // namespace

Result<std::vector<double>> direct_runoff(const TransformMethod& method,
                                          const std::vector<double>& excess, std::int32_t time_step,
                                          double area, InterruptCheck interrupt) {
    const std::size_t steps = excess.size();
    // Clark's value k is the flow at k dt: its first T values. The others' value k is the flow
    // at (k + 1) dt: one value later.
    return std::visit(
        Overloaded{
            [&](const ClarkTransform& clark) {
                auto direct = clark_uh_rs(excess, time_step, area, clark.tc_seconds,
                                          clark.storage_seconds, interrupt);
                if (direct) direct->resize(steps);
                return direct;
            },
            [&](const ScsTransform& scs) {
                auto direct = run_scs_uh(excess, time_step,
                                         {area, scs.lag_seconds, scs.peak_rate_factor}, interrupt);
                if (direct) one_step_later(direct.value(), steps);
                return direct;
            },
            [&](const SnyderTransform& snyder) {
                auto direct = run_snyder_uh(
                    excess, time_step,
                    {area, snyder.ct, snyder.cp, snyder.stream_length, snyder.centroid_length},
                    interrupt);
                if (direct) one_step_later(direct.value(), steps);
                return direct;
            },
        },
        method);
}

Result<void> subbasin_outflow(const Subbasin& subbasin, const IncrementalTimeSeries& rain,
                              std::vector<double>& out, InterruptCheck interrupt,
                              ElementDetails* details) {
    const std::size_t steps = rain.data.size();
    std::optional<RainSplit> split;
    if (subbasin.loss) {
        auto made = split_rain(*subbasin.loss, rain, interrupt);
        if (!made) return std::move(made).error();
        split = std::move(made).value();
    }
    const std::vector<double>& excess = split ? split->excess : rain.data;
    auto direct =
        direct_runoff(subbasin.transform, excess, rain.time_step, subbasin.area, interrupt);
    if (!direct) return std::move(direct).error();
    std::vector<double>& runoff = direct.value();

    const std::vector<double> no_loss = split ? std::vector<double>{} : std::vector<double>(steps);
    const std::vector<double>& infiltrated = split ? split->loss : no_loss;
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
    std::vector<double> flow(inflow.begin(), inflow.end());
    auto routed =
        std::visit(Overloaded{
                       [&](const MuskingumCungeRouting& cunge) {
                           return route_muskingum_cunge(flow, static_cast<double>(time_step),
                                                        cunge.parameters, interrupt);
                       },
                       [&](const MuskingumRouting& routing) {
                           const double first = flow.empty() ? 0.0 : flow[0];
                           return route_reach(std::move(flow), static_cast<double>(time_step),
                                              routing.k_seconds, routing.x, routing.sub_reaches,
                                              first, interrupt);
                       },
                   },
                   reach.routing);
    if (!routed) return std::move(routed).error();
    out = std::move(routed).value();
    return {};
}

Result<void> reservoir_outflow(const Reservoir& reservoir, std::int32_t time_step,
                               std::span<const double> inflow, std::vector<double>& out,
                               InterruptCheck interrupt, ElementDetails* details) {
    ContinuousTimeSeries series{{}, std::string(kKindDischarge), time_step};
    auto pool =
        std::visit(Overloaded{
                       [&](const StorageIndicationRouting& indication) {
                           // Its records start at the initial state already: the inflow goes in as
                           // it is.
                           const LevelPoolRouting& routing = indication.pool;
                           series.data.assign(inflow.begin(), inflow.end());
                           return run_storage_indication_routing(series, routing.initial_elevation,
                                                                 routing.elevation_storage,
                                                                 routing.outlets, interrupt);
                       },
                       [&](const LevelPoolRouting& routing) {
                           series.data.reserve(inflow.size() + 1);
                           if (!inflow.empty()) series.data.push_back(inflow[0]);
                           series.data.insert(series.data.end(), inflow.begin(), inflow.end());
                           return run_level_pool_routing(series, routing.initial_elevation,
                                                         routing.elevation_storage, routing.outlets,
                                                         interrupt);
                       },
                   },
                   reservoir.routing);
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

}  // namespace vesparil
