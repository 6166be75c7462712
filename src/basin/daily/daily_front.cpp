// The daily front of an event sub-basin; see the header for the steps.
#include "basin/daily/daily_front.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "basin/daily/lumped_flow.hpp"
#include "basin/daily/pet_method.hpp"
#include "basin/daily/snow_store.hpp"

namespace vesparil {

Result<void> check_front(const Subbasin& subbasin, std::int32_t time_step) {
    if (!subbasin.snow) return {};
    auto daily = check_daily_step(time_step);
    if (!daily) return daily;
    return check_snow(*subbasin.snow);
}

Result<void> check_daily(const Subbasin& subbasin, std::int32_t time_step) {
    if (subbasin.evapotranspiration) {
        auto pet = check_pet(*subbasin.evapotranspiration, time_step);
        if (!pet) return pet;
    }
    if (subbasin.continuous) return check_continuous(*subbasin.continuous, time_step);
    return check_front(subbasin, time_step);
}

Result<IncrementalTimeSeries> front_rain(const Subbasin& subbasin, std::int32_t time_step,
                                         std::span<const double> precipitation,
                                         std::span<const double> evapotranspiration,
                                         std::span<const double> temperature,
                                         InterruptCheck interrupt) {
    std::vector<double> melted;
    std::span<const double> liquid = precipitation;
    if (subbasin.snow) {
        auto run = snow_liquid_water(*subbasin.snow, precipitation, temperature, interrupt);
        if (!run) return std::move(run).error();
        melted = std::move(run).value();
        liquid = melted;
    }
    IncrementalTimeSeries rain{{}, "rainfall", time_step};
    rain.data.resize(liquid.size());
    for (std::size_t i = 0; i < liquid.size(); ++i) {
        const double net = std::max(0.0, liquid[i] - evapotranspiration[i]);
        rain.data[i] = net / kMillimetresPerInch;
    }
    return rain;
}

}  // namespace vesparil
