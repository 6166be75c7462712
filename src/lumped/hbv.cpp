// HBV light (Seibert and Vis 2012); see the header for the equations and units.
#include "lumped/hbv.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "core/format.hpp"
#include "core/large_vector.hpp"
#include "snow/degree_day.hpp"

namespace vesparil {

namespace {

// A day's own arithmetic in the interrupt counter's units (some 50 ns a day).
constexpr std::uint64_t kDayWork = 8;

// The number of MAXBAS weights.
std::size_t weight_count(double maxbas) { return static_cast<std::size_t>(std::ceil(maxbas)); }

// A day's work with `weights` MAXBAS weights: a weight (a multiply-add, a write and a sum) costs
// about 1 ns, so eight of them make one of the day's units.
std::uint64_t day_work(std::size_t weights) { return kDayWork + weights / 8; }

// Share of the triangular weighting function of base `m` lying before x.
double triangle_share(double x, double m) {
    if (x <= 0.0) return 0.0;
    if (x <= m / 2.0) return 2.0 * x * x / (m * m);
    if (x < m) return 1.0 - 2.0 * (m - x) * (m - x) / (m * m);
    return 1.0;
}

// "name must be ..." when value lies outside [low, high] (NaN included); "name must be finite"
// for an infinite value inside an open range (it would turn the flows into NaN).
Result<void> within(const char* name, double value, double low, double high,
                    const char* rule) {
    if (!(value >= low && value <= high)) return Error::value(std::string(name) + " must be " + rule);
    if (std::isinf(value)) return Error::value(std::string(name) + " must be finite");
    return {};
}

}  // namespace

Result<HbvParameters> make_hbv_parameters(const HbvParameters& p) {
    constexpr double inf = INFINITY;
    const Result<void> checks[] = {
        within("tt", p.tt, -0x1.fffffffffffffp+1023, 0x1.fffffffffffffp+1023, "finite"),
        within("cfmax", p.cfmax, 0.0, inf, ">= 0"),
        within("sfcf", p.sfcf, 0.0, inf, ">= 0"),
        within("cfr", p.cfr, 0.0, inf, ">= 0"),
        within("cwh", p.cwh, 0.0, inf, ">= 0"),
        within("fc", p.fc, 0x1p-1022, inf, "> 0"),
        within("lp", p.lp, 0x1p-1022, 1.0, "> 0 and at most 1"),
        within("beta", p.beta, 0x1p-1022, inf, "> 0"),
        within("perc", p.perc, 0.0, inf, ">= 0"),
        within("uzl", p.uzl, 0.0, inf, ">= 0"),
        within("k0", p.k0, 0.0, 1.0, "between 0 and 1"),
        within("k1", p.k1, 0.0, 1.0, "between 0 and 1"),
        within("k2", p.k2, 0.0, 1.0, "between 0 and 1"),
        within("maxbas", p.maxbas, 1.0, kHbvMaxMaxbas, ">= 1 and at most 10000"),
    };
    for (const auto& check : checks) {
        if (!check) return check.error();
    }
    // Both outflows leave the upper zone in one day: together they may not take more than it.
    if (!(p.k0 + p.k1 <= 1.0)) return Error::value("k0 + k1 must be at most 1");
    return p;
}

std::uint64_t hbv_day_work(const HbvParameters& parameters) {
    return day_work(weight_count(parameters.maxbas));
}

std::vector<double> hbv_routing_weights(double maxbas) {
    const std::size_t count = weight_count(maxbas);
    std::vector<double> weights(count);
    for (std::size_t i = 1; i <= count; ++i) {
        const double u = static_cast<double>(i);
        weights[i - 1] = triangle_share(u, maxbas) - triangle_share(u - 1.0, maxbas);
    }
    return weights;
}

bool hbv_advance(const HbvParameters& k, const std::vector<double>& weights, HbvState& state,
                 std::span<const double> precipitation, std::span<const double> temperature,
                 std::span<const double> evaporation, std::size_t first_kept, HbvSeries& out,
                 InterruptCounter& counter) {
    const DegreeDayParameters snow_k{k.tt, k.cfmax, k.cfr, k.cwh};
    SnowStore snow{state.snowpack, state.snow_water};
    double sm = state.soil_moisture;
    double suz = state.upper_zone;
    double slz = state.lower_zone;
    std::vector<double>& pending = state.pending;
    const std::size_t last = pending.size() - 1;
    // A day moves every weight's share: a long MAXBAS makes the pieces of days shorter.
    const std::uint64_t work = day_work(weights.size());
    const bool done = for_each_step_interruptibly(precipitation.size(), work, counter,
                                                  [&](std::size_t i) {
        const double p = precipitation[i];
        const double t = temperature[i];
        double snowfall = 0.0;
        double rain = p;
        if (t < k.tt) {
            snowfall = k.sfcf * p;
            rain = 0.0;
        }
        const double release = degree_day_step(snow_k, snow, snowfall, rain, t).outflow;

        double recharge = release * std::pow(sm / k.fc, k.beta);
        sm = sm + (release - recharge);
        if (sm > k.fc) {
            recharge = recharge + (sm - k.fc);
            sm = k.fc;
        }
        const double ea = std::min(evaporation[i] * std::min(sm / (k.fc * k.lp), 1.0), sm);
        sm = sm - ea;

        suz = suz + recharge;
        const double perc = std::min(k.perc, suz);
        suz = suz - perc;
        slz = slz + perc;
        const double q0 = k.k0 * std::max(suz - k.uzl, 0.0);
        const double q1 = k.k1 * suz;
        suz = suz - q0 - q1;
        const double q2 = k.k2 * slz;
        slz = slz - q2;
        const double qgw = (q2 + q1) + q0;

        const double q = pending[0] + weights[0] * qgw;
        double held = 0.0;
        for (std::size_t j = 0; j < last; ++j) {
            pending[j] = pending[j + 1] + weights[j + 1] * qgw;
            held += pending[j];
        }
        pending[last] = 0.0;

        if (i >= first_kept) {
            out.flow.push_back(q);
            out.snowpack.push_back(snow.snowpack);
            out.snow_water.push_back(snow.water);
            out.soil_moisture.push_back(sm);
            out.upper_zone.push_back(suz);
            out.lower_zone.push_back(slz);
            out.routing_store.push_back(held);
            out.actual_evapotranspiration.push_back(ea);
            out.recharge.push_back(recharge);
            out.snowfall.push_back(snowfall);
        }
    });
    state.snowpack = snow.snowpack;
    state.snow_water = snow.water;
    state.soil_moisture = sm;
    state.upper_zone = suz;
    state.lower_zone = slz;
    return done;
}

Result<HbvSeries> run_hbv(std::span<const double> precipitation,
                          std::span<const double> temperature,
                          std::span<const double> evaporation, const HbvParameters& parameters,
                          double soil_fraction, double upper_zone, double lower_zone,
                          std::size_t warmup, InterruptCheck interrupt) {
    const std::size_t days = precipitation.size();
    if (temperature.size() != days || evaporation.size() != days) {
        return Error::value(
            "precipitation, temperature and evapotranspiration must have the same length");
    }
    if (!(soil_fraction >= 0.0 && soil_fraction <= 1.0)) {
        return Error::value("initial_soil_moisture must be between 0 and 1");
    }
    if (!(upper_zone >= 0.0)) return Error::value("initial_upper_zone must be >= 0");
    if (!(lower_zone >= 0.0)) return Error::value("initial_lower_zone must be >= 0");
    if (warmup > days) {
        return Error::value("warmup (" + format_int(static_cast<std::int64_t>(warmup)) +
                            ") is longer than the series (" +
                            format_int(static_cast<std::int64_t>(days)) + ")");
    }
    const std::vector<double> weights = hbv_routing_weights(parameters.maxbas);
    HbvState state{0.0, 0.0, soil_fraction * parameters.fc, upper_zone, lower_zone,
                   std::vector<double>(weights.size(), 0.0)};
    HbvSeries out;
    for (auto* series : {&out.flow, &out.snowpack, &out.snow_water, &out.soil_moisture,
                         &out.upper_zone, &out.lower_zone, &out.routing_store,
                         &out.actual_evapotranspiration, &out.recharge, &out.snowfall}) {
        reserve_large(*series, days - warmup);
    }
    InterruptCounter counter(interrupt);
    if (!hbv_advance(parameters, weights, state, precipitation, temperature, evaporation, warmup,
                     out, counter)) {
        return Error::interrupted();
    }
    return out;
}

}  // namespace vesparil
