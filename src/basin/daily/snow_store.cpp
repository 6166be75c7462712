// The snow stores in front of a model; see the header.
#include "basin/daily/snow_store.hpp"

#include <utility>

#include "basin/model/method_tables.hpp"

namespace vesparil {

namespace {

constexpr const char* kSnowNames[kSnowValues] = {
    "threshold_temperature", "melt_factor", "refreezing_coefficient", "water_holding",
    "initial_snowpack", "kf", "ctg"};
constexpr std::size_t kCemaNeigeFirst = 5;
}  // namespace

Result<void> check_snow(const SnowMethod& snow) {
    if (const auto* store = std::get_if<DegreeDaySnow>(&snow)) {
        auto made = make_degree_day_parameters(store->parameters);
        if (!made) return std::move(made).error();
        if (!(store->initial_snowpack >= 0.0)) {
            return Error::value("initial_snowpack must be >= 0");
        }
        return {};
    }
    const CemaNeigeSnow& cemaneige = std::get<CemaNeigeSnow>(snow);
    auto made = make_cemaneige_parameters(cemaneige.parameters);
    if (!made) return std::move(made).error();
    auto bands = cemaneige_bands(*made, cemaneige.elevations);
    if (!bands) return std::move(bands).error();
    return {};
}

Result<std::vector<double>> snow_liquid_water(const SnowMethod& snow,
                                              std::span<const double> precipitation,
                                              std::span<const double> temperature,
                                              InterruptCheck interrupt) {
    if (const auto* store = std::get_if<DegreeDaySnow>(&snow)) {
        auto run = run_degree_day_snow(precipitation, temperature, store->parameters,
                                       store->initial_snowpack, 0, interrupt);
        if (!run) return std::move(run).error();
        return std::move(run->outflow);
    }
    const CemaNeigeSnow& cemaneige = std::get<CemaNeigeSnow>(snow);
    auto run = run_cemaneige(precipitation, temperature, cemaneige.parameters,
                             cemaneige.elevations, 0, interrupt);
    if (!run) return std::move(run).error();
    return std::move(run->liquid_water);
}

std::optional<std::size_t> snow_index(const std::string& parameter) {
    for (std::size_t k = 0; k < kSnowValues; ++k) {
        if (parameter == kSnowNames[k]) return k;
    }
    return std::nullopt;
}

bool snow_has(const SnowMethod& snow, std::size_t index) {
    return std::holds_alternative<CemaNeigeSnow>(snow) == (index >= kCemaNeigeFirst);
}

double& snow_value(SnowMethod& snow, std::size_t index) {
    if (auto* store = std::get_if<DegreeDaySnow>(&snow)) {
        return field_at(*store, index);
    }
    CemaNeigeParameters& p = std::get<CemaNeigeSnow>(snow).parameters;
    return index == kCemaNeigeFirst ? p.kf : p.ctg;
}

}  // namespace vesparil
