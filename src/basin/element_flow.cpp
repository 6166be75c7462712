// Elements' outflows through the methods' own cores, lined up on the basin's axis (see the
// header for the rule).
#include "basin/element_flow.hpp"
#include "basin/daily_front.hpp"

#include <utility>

#include "baseflow/linear_reservoir.hpp"
#include "core/format.hpp"
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
    if (const auto* loss = std::get_if<DeficitAndConstantLoss>(&method)) {
        DeficitConstantResult split =
            run_deficit_and_constant(rain, loss->initial_deficit, loss->maximum_deficit,
                                     loss->constant_rate, loss->recovery_seconds);
        return RainSplit{std::move(split.excess.data), std::move(split.loss.data)};
    }
    if (const auto* loss = std::get_if<CurveNumberLoss>(&method)) {
        auto split = run_curve_number(rain, loss->parameters, interrupt);
        if (!split) return std::move(split).error();
        return RainSplit{std::move(split->excess.data), std::move(split->loss.data)};
    }
    auto split = run_green_ampt(rain, std::get<GreenAmptLoss>(method).parameters, interrupt);
    if (!split) return std::move(split).error();
    return RainSplit{std::move(split->excess.data), std::move(split->loss.data)};
}

// A unit hydrograph whose ordinate j is the flow at the end of step j + 1 gives its value k at
// (k + 1) dt: on the axis it starts from no flow at 0 and moves one value later.
void one_step_later(std::vector<double>& runoff, std::size_t steps) {
    runoff.insert(runoff.begin(), 0.0);
    runoff.resize(steps);
}

// The checks of the loss and transform methods' cores, made before any work.
Result<void> check_loss(const LossMethod& method) {
    if (const auto* loss = std::get_if<CurveNumberLoss>(&method)) {
        auto retention = curve_number_retention(loss->parameters);
        if (!retention) return std::move(retention).error();
    }
    if (const auto* loss = std::get_if<GreenAmptLoss>(&method)) {
        return check_green_ampt(loss->parameters);
    }
    return {};
}

Result<void> check_transform(const TransformMethod& method, double area, std::int32_t time_step) {
    if (const auto* scs = std::get_if<ScsTransform>(&method)) {
        auto ordinates =
            scs_unit_hydrograph({area, scs->lag_seconds, scs->peak_rate_factor}, time_step);
        if (!ordinates) return std::move(ordinates).error();
    }
    if (const auto* snyder = std::get_if<SnyderTransform>(&method)) {
        auto ordinates = snyder_unit_hydrograph(
            {area, snyder->ct, snyder->cp, snyder->stream_length, snyder->centroid_length},
            time_step);
        if (!ordinates) return std::move(ordinates).error();
    }
    return {};
}

}  // namespace

Result<std::vector<double>> direct_runoff(const TransformMethod& method,
                                          const std::vector<double>& excess,
                                          std::int32_t time_step, double area,
                                          InterruptCheck interrupt) {
    const std::size_t steps = excess.size();
    Result<std::vector<double>> direct = std::vector<double>{};
    if (const auto* clark = std::get_if<ClarkTransform>(&method)) {
        direct = clark_uh_rs(excess, time_step, area, clark->tc_seconds, clark->storage_seconds,
                             interrupt);
        if (direct) direct->resize(steps);
        return direct;
    }
    if (const auto* scs = std::get_if<ScsTransform>(&method)) {
        direct = run_scs_uh(excess, time_step, {area, scs->lag_seconds, scs->peak_rate_factor},
                            interrupt);
    } else {
        const SnyderTransform& snyder = std::get<SnyderTransform>(method);
        direct = run_snyder_uh(excess, time_step,
                               {area, snyder.ct, snyder.cp, snyder.stream_length,
                                snyder.centroid_length},
                               interrupt);
    }
    if (direct) one_step_later(direct.value(), steps);
    return direct;
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
    auto direct = direct_runoff(subbasin.transform, excess, rain.time_step, subbasin.area,
                                interrupt);
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
    if (const auto* cunge = std::get_if<MuskingumCungeRouting>(&reach.routing)) {
        auto routed = route_muskingum_cunge(flow, static_cast<double>(time_step),
                                            cunge->parameters, interrupt);
        if (!routed) return std::move(routed).error();
        out = std::move(routed).value();
        return {};
    }
    const MuskingumRouting& routing = std::get<MuskingumRouting>(reach.routing);
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
    ContinuousTimeSeries series{{}, std::string(kKindDischarge), time_step};
    Result<LevelPoolResult> pool = LevelPoolResult{};
    if (const auto* indication = std::get_if<StorageIndicationRouting>(&reservoir.routing)) {
        // Its records start at the initial state already: the inflow goes in as it is.
        const LevelPoolRouting& routing = indication->pool;
        series.data.assign(inflow.begin(), inflow.end());
        pool = run_storage_indication_routing(series, routing.initial_elevation,
                                              routing.elevation_storage, routing.outlets,
                                              interrupt);
    } else {
        const LevelPoolRouting& routing = std::get<LevelPoolRouting>(reservoir.routing);
        series.data.reserve(inflow.size() + 1);
        if (!inflow.empty()) series.data.push_back(inflow[0]);
        series.data.insert(series.data.end(), inflow.begin(), inflow.end());
        pool = run_level_pool_routing(series, routing.initial_elevation,
                                      routing.elevation_storage, routing.outlets, interrupt);
    }
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
        auto model = check_daily(*subbasin, time_step);
        if (!model) return prefixed(model.error().message);
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
        const auto* deficit = subbasin->loss ? std::get_if<DeficitAndConstantLoss>(&*subbasin->loss)
                                             : nullptr;
        const auto* clark = std::get_if<ClarkTransform>(&subbasin->transform);
        const auto* scs = std::get_if<ScsTransform>(&subbasin->transform);
        for (const double duration : {clark ? clark->tc_seconds : 0.0,
                                      clark ? clark->storage_seconds : 0.0,
                                      deficit ? deficit->recovery_seconds : 0.0,
                                      scs ? scs->lag_seconds : 0.0}) {
            if (!(duration >= 0.0)) return prefixed("durations must be >= 0");
        }
        // The other methods' own checks, with their messages.
        Result<void> checked;
        if (subbasin->loss) checked = check_loss(*subbasin->loss);
        if (checked) checked = check_transform(subbasin->transform, subbasin->area, time_step);
        if (!checked) {
            if (checked.error().kind != ErrorKind::Value) return checked;
            return prefixed(checked.error().message);
        }
    }
    if (const auto* reservoir = std::get_if<Reservoir>(&element.method)) {
        const auto* indication = std::get_if<StorageIndicationRouting>(&reservoir->routing);
        const LevelPoolRouting& routing =
            indication ? indication->pool : std::get<LevelPoolRouting>(reservoir->routing);
        auto storage = get_storage(routing.elevation_storage, routing.initial_elevation);
        if (!storage) {
            if (storage.error().kind != ErrorKind::Value) return std::move(storage).error();
            return prefixed(storage.error().message);
        }
        if (indication) {
            auto table = storage_indication_table(routing.elevation_storage, routing.outlets,
                                                  static_cast<double>(time_step));
            if (!table) {
                if (table.error().kind != ErrorKind::Value) return std::move(table).error();
                return prefixed(table.error().message);
            }
        }
    }
    if (const auto* reach = std::get_if<Reach>(&element.method)) {
        if (const auto* cunge = std::get_if<MuskingumCungeRouting>(&reach->routing)) {
            // An empty inflow meets the core's checks of the channel and nothing else.
            auto checked = route_muskingum_cunge({}, static_cast<double>(time_step),
                                                 cunge->parameters);
            if (!checked) return prefixed(checked.error().message);
            return {};
        }
        const MuskingumRouting& routing = std::get<MuskingumRouting>(reach->routing);
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
