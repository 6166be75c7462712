// The degree-day snow store; see the header for the equations and units.
#include "snow/degree_day.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>

#include "core/format.hpp"
#include "core/large_vector.hpp"

namespace vesparil {

Result<DegreeDayParameters> make_degree_day_parameters(const DegreeDayParameters& given) {
    if (!std::isfinite(given.threshold_temperature)) {
        return Error::value("threshold_temperature must be finite");
    }
    if (!(given.melt_factor >= 0.0)) return Error::value("melt_factor must be >= 0");
    if (!(given.refreezing_coefficient >= 0.0)) {
        return Error::value("refreezing_coefficient must be >= 0");
    }
    if (!(given.water_holding >= 0.0)) return Error::value("water_holding must be >= 0");
    // An infinite factor passes ">= 0" and makes 0 x inf = NaN on a day it does not apply.
    const std::pair<const char*, double> factors[] = {
        {"melt_factor", given.melt_factor},
        {"refreezing_coefficient", given.refreezing_coefficient},
        {"water_holding", given.water_holding}};
    for (const auto& [name, value] : factors) {
        if (std::isinf(value)) return Error::value(std::string(name) + " must be finite");
    }
    return given;
}

Result<DegreeDaySeries> run_degree_day_snow(std::span<const double> precipitation,
                                            std::span<const double> temperature,
                                            const DegreeDayParameters& parameters,
                                            double initial_snowpack, std::size_t warmup,
                                            InterruptCheck interrupt) {
    const std::size_t days = precipitation.size();
    if (temperature.size() != days) {
        return Error::value("precipitation and temperature must have the same length");
    }
    if (!(initial_snowpack >= 0.0)) return Error::value("initial_snowpack must be >= 0");
    if (std::isinf(initial_snowpack)) return Error::value("initial_snowpack must be finite");
    if (warmup > days) {
        return Error::value("warmup (" + format_int(static_cast<std::int64_t>(warmup)) +
                            ") is longer than the series (" +
                            format_int(static_cast<std::int64_t>(days)) + ")");
    }
    DegreeDaySeries out;
    for (auto* series : {&out.outflow, &out.snowpack, &out.snow_water, &out.snowfall, &out.melt}) {
        reserve_large(*series, days - warmup);
    }
    SnowStore store{initial_snowpack, 0.0};
    InterruptCounter counter(interrupt);
    for (std::size_t i = 0; i < days; ++i) {
        const double p = precipitation[i];
        const double t = temperature[i];
        const bool snowing = t < parameters.threshold_temperature;
        const SnowDay day =
            degree_day_step(parameters, store, snowing ? p : 0.0, snowing ? 0.0 : p, t);
        if (i >= warmup) {
            out.outflow.push_back(day.outflow);
            out.snowpack.push_back(store.snowpack);
            out.snow_water.push_back(store.water);
            out.snowfall.push_back(day.snowfall);
            out.melt.push_back(day.melt);
        }
        if (counter.stop_requested_after(1)) [[unlikely]]
            return Error::interrupted();
    }
    return out;
}

}  // namespace vesparil
