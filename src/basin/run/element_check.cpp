// The checks every element meets before any work, made once per run and once per batch
// member: what a run would otherwise meet only later, or never.
#include "basin/run/element_check.hpp"

#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>

#include "baseflow/linear_reservoir.hpp"
#include "basin/daily/daily_front.hpp"
#include "core/format.hpp"
#include "core/overloaded.hpp"
#include "core/units.hpp"
#include "rainfall_transform/scs_uh.hpp"
#include "rainfall_transform/snyder_uh.hpp"
#include "reach_routing/muskingum.hpp"
#include "reach_routing/muskingum_cunge.hpp"
#include "reservoir_routing/level_pool.hpp"
#include "reservoir_routing/storage_indication.hpp"

namespace vesparil {

namespace {

// Each of `values` finite and above 0 (or at least 0), named in the message.
Result<void> all_positive(std::initializer_list<std::pair<const char*, double>> values,
                          bool zero_too) {
    for (const auto& [name, value] : values) {
        if ((value > 0.0 || (zero_too && value == 0.0)) && value < INFINITY) continue;
        return Error::value(std::string(name) +
                            (zero_too ? " must be finite and >= 0; got " : " must be > 0; got ") +
                            format_double(value));
    }
    return {};
}

Result<void> durations(std::initializer_list<double> seconds) {
    for (const double value : seconds) {
        if (!(value >= 0.0)) return Error::value("durations must be >= 0");
    }
    return {};
}

}  // namespace

Result<void> check_loss(const LossMethod& method) {
    return std::visit(
        Overloaded{
            // The standalone function takes any number; in a basin a negative deficit or rate
            // would make water (a deficit of -0.9 in turns 1 in of rain into 1.9 in of excess).
            [](const DeficitAndConstantLoss& loss) {
                return all_positive({{"initial_deficit", loss.initial_deficit},
                                     {"maximum_deficit", loss.maximum_deficit},
                                     {"constant_rate", loss.constant_rate}},
                                    true);
            },
            [](const CurveNumberLoss& loss) -> Result<void> {
                auto retention = curve_number_retention(loss.parameters);
                if (!retention) return std::move(retention).error();
                return {};
            },
            [](const GreenAmptLoss& loss) { return check_green_ampt(loss.parameters); },
        },
        method);
}

Result<void> check_transform_values(const TransformMethod& method) {
    return std::visit(Overloaded{
                          [](const ClarkTransform& clark) {
                              return durations({clark.tc_seconds, clark.storage_seconds});
                          },
                          [](const ScsTransform& scs) {
                              auto lag = durations({scs.lag_seconds});
                              if (!lag) return lag;
                              return all_positive({{"peak_rate_factor", scs.peak_rate_factor}},
                                                  false);
                          },
                          [](const SnyderTransform& snyder) {
                              return all_positive({{"ct", snyder.ct},
                                                   {"cp", snyder.cp},
                                                   {"stream_length", snyder.stream_length},
                                                   {"centroid_length", snyder.centroid_length}},
                                                  false);
                          },
                      },
                      method);
}

Result<void> check_reach_values(const ReachMethod& method) {
    return std::visit(
        Overloaded{
            [](const MuskingumCungeRouting& cunge) -> Result<void> {
                // An empty inflow meets the core's checks of the channel and nothing else.
                auto checked = route_muskingum_cunge({}, 1.0, cunge.parameters);
                if (!checked) return std::move(checked).error();
                return {};
            },
            [](const MuskingumRouting& routing) -> Result<void> {
                if (!weighting_factor_in_range(routing.x)) {
                    return Error::value("x must be between 0 and 0.5; got " +
                                        format_double(routing.x));
                }
                if (routing.sub_reaches < 1) return Error::value("sub_reaches must be at least 1");
                if (!(routing.k_seconds >= 0.0)) {
                    return Error::value("k must be >= 0; got " +
                                        format_double(routing.k_seconds / kSecondsPerHour) + " h");
                }
                return {};
            },
        },
        method);
}

// Both reservoir methods route a pool of the same curves from its initial elevation.
const LevelPoolRouting& pool_of(const ReservoirMethod& method) {
    return std::visit(
        Overloaded{
            [](const LevelPoolRouting& routing) -> const LevelPoolRouting& { return routing; },
            [](const StorageIndicationRouting& routing) -> const LevelPoolRouting& {
                return routing.pool;
            },
        },
        method);
}

Result<void> check_reservoir_values(const ReservoirMethod& method) {
    const LevelPoolRouting& routing = pool_of(method);
    const std::size_t points = routing.elevation_storage.elevation.size();
    if (points < 2) {
        return Error::value("elevation_storage must have at least 2 points; got " +
                            format_int(static_cast<std::int64_t>(points)));
    }
    if (!std::isfinite(routing.initial_elevation)) {
        return Error::value("initial_elevation must be finite; got " +
                            format_double(routing.initial_elevation));
    }
    auto storage = get_storage(routing.elevation_storage, routing.initial_elevation);
    if (!storage) return std::move(storage).error();
    return {};
}

namespace {

// The checks that need the sub-basin's area and the basin's step: the unit hydrographs'.
Result<void> check_transform(const TransformMethod& method, double area, std::int32_t time_step) {
    const auto ordinates = [](auto made) -> Result<void> {
        if (!made) return std::move(made).error();
        return {};
    };
    return std::visit(
        Overloaded{
            [](const ClarkTransform&) -> Result<void> { return {}; },
            [&](const ScsTransform& scs) {
                return ordinates(
                    scs_unit_hydrograph({area, scs.lag_seconds, scs.peak_rate_factor}, time_step));
            },
            [&](const SnyderTransform& snyder) {
                return ordinates(snyder_unit_hydrograph(
                    {area, snyder.ct, snyder.cp, snyder.stream_length, snyder.centroid_length},
                    time_step));
            },
        },
        method);
}

}  // namespace

Result<void> check_element(const Element& element, std::int32_t time_step, bool tables) {
    // Built only on failure: a batch checks every element of every member.
    const auto prefixed = [&](const std::string& message) {
        return Error::value(std::string(kind_word(element)) + " '" + element.name +
                            "': " + message);
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
            if (!std::isfinite(layer.initial_q)) {
                return prefixed("initial_q must be finite; got " + format_double(layer.initial_q));
            }
        }
        auto fractions = check_total_fraction(subbasin->baseflow);
        if (!fractions) return prefixed(fractions.error().message);
        for (const auto& [name, layer] : subbasin->baseflow) {
            auto weights = layer_weights(layer, dt_hours);
            if (!weights) return prefixed(weights.error().message);
        }
        const auto* deficit =
            subbasin->loss ? std::get_if<DeficitAndConstantLoss>(&*subbasin->loss) : nullptr;
        const auto* clark = std::get_if<ClarkTransform>(&subbasin->transform);
        const auto* scs = std::get_if<ScsTransform>(&subbasin->transform);
        for (const double duration :
             {clark ? clark->tc_seconds : 0.0, clark ? clark->storage_seconds : 0.0,
              deficit ? deficit->recovery_seconds : 0.0, scs ? scs->lag_seconds : 0.0}) {
            if (!(duration >= 0.0)) return prefixed("durations must be >= 0");
        }
        // The other methods' own checks, with their messages.
        Result<void> checked;
        if (subbasin->loss) checked = check_loss(*subbasin->loss);
        if (checked) checked = check_transform_values(subbasin->transform);
        if (checked) checked = check_transform(subbasin->transform, subbasin->area, time_step);
        if (!checked) {
            if (checked.error().kind != ErrorKind::Value) return checked;
            return prefixed(checked.error().message);
        }
    }
    if (const auto* reservoir = std::get_if<Reservoir>(&element.method)) {
        const auto* indication = std::get_if<StorageIndicationRouting>(&reservoir->routing);
        auto own = check_reservoir_values(reservoir->routing);
        if (!own) {
            if (own.error().kind != ErrorKind::Value) return own;
            return prefixed(own.error().message);
        }
        if (indication && tables) {
            const LevelPoolRouting& routing = indication->pool;
            auto table = storage_indication_table(routing.elevation_storage, routing.outlets,
                                                  static_cast<double>(time_step));
            if (!table) {
                if (table.error().kind != ErrorKind::Value) return std::move(table).error();
                return prefixed(table.error().message);
            }
        }
    }
    if (const auto* reach = std::get_if<Reach>(&element.method)) {
        auto own = check_reach_values(reach->routing);
        if (!own) return prefixed(own.error().message);
        if (std::holds_alternative<MuskingumCungeRouting>(reach->routing)) return {};
        const MuskingumRouting& routing = std::get<MuskingumRouting>(reach->routing);
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
