// The continuous models' sub-basins: each model's whole run, converted to cfs (see the header).
#include "basin/daily/lumped_flow.hpp"

#include <iterator>
#include <utility>

#include "basin/daily/snow_store.hpp"
#include "basin/model/method_tables.hpp"
#include "core/format.hpp"

namespace vesparil {

namespace {

Result<void> check_fraction(double value, const char* name) {
    if (!(value >= 0.0 && value <= 1.0)) {
        return Error::value(std::string(name) + " must be between 0 and 1");
    }
    return {};
}

Result<void> check_method(const Gr4jRunoff& gr4j) {
    const Gr4jParameters& p = gr4j.parameters;
    auto made = make_gr4j_parameters(p.x1, p.x2, p.x3, p.x4);
    if (!made) return std::move(made).error();
    auto production = check_fraction(gr4j.initial_production, "initial_production");
    if (!production) return production;
    auto routing = check_fraction(gr4j.initial_routing, "initial_routing");
    if (!routing || !gr4j.snow) return routing;
    return check_snow(*gr4j.snow);
}

Result<void> check_method(const HbvRunoff& hbv) {
    auto made = make_hbv_parameters(hbv.parameters);
    if (!made) return std::move(made).error();
    auto soil = check_fraction(hbv.initial_soil_moisture, "initial_soil_moisture");
    if (!soil) return soil;
    if (!(hbv.initial_upper_zone >= 0.0)) return Error::value("initial_upper_zone must be >= 0");
    if (!(hbv.initial_lower_zone >= 0.0)) return Error::value("initial_lower_zone must be >= 0");
    return {};
}

// GR4J's own values; its snow store's follow (kGr4jSnowFirst on, basin/daily/snow_store.hpp).
constexpr const char* kGr4jNames[] = {"x1", "x2", "x3", "x4", "initial_production",
                                      "initial_routing"};
constexpr double Gr4jParameters::*kGr4jFields[] = {&Gr4jParameters::x1, &Gr4jParameters::x2,
                                                   &Gr4jParameters::x3, &Gr4jParameters::x4};
}  // namespace

std::optional<std::size_t> continuous_index(const std::string& method,
                                            const std::string& parameter) {
    if (method != "gr4j") return field_index<HbvRunoff>(parameter);
    for (std::size_t k = 0; k < std::size(kGr4jNames); ++k) {
        if (parameter == kGr4jNames[k]) return k;
    }
    auto snow = snow_index(parameter);
    if (!snow) return std::nullopt;
    return kGr4jSnowFirst + *snow;
}

double& continuous_value(ContinuousMethod& method, std::size_t index) {
    if (auto* gr4j = std::get_if<Gr4jRunoff>(&method)) {
        if (index < 4) return gr4j->parameters.*kGr4jFields[index];
        if (index < kGr4jSnowFirst) {
            return index == 4 ? gr4j->initial_production : gr4j->initial_routing;
        }
        return snow_value(*gr4j->snow, index - kGr4jSnowFirst);
    }
    return field_at(std::get<HbvRunoff>(method), index);
}

Result<void> check_daily_step(std::int32_t time_step) {
    if (time_step != kSecondsPerDay) {
        return Error::value("a continuous model needs a time step of one day; the basin's is " +
                            format_int(time_step) + " s");
    }
    return {};
}

Result<void> check_continuous(const ContinuousMethod& method, std::int32_t time_step) {
    auto daily = check_daily_step(time_step);
    if (!daily) return daily;
    return std::visit([](const auto& model) { return check_method(model); }, method);
}

Result<void> continuous_outflow(const ContinuousMethod& method, double area,
                                std::span<const double> precipitation,
                                std::span<const double> evapotranspiration,
                                std::span<const double> temperature, std::vector<double>& out,
                                InterruptCheck interrupt, ElementDetails* details) {
    std::vector<double> flow;
    if (const auto* gr4j = std::get_if<Gr4jRunoff>(&method)) {
        std::vector<double> melted;
        if (gr4j->snow) {
            auto snow = snow_liquid_water(*gr4j->snow, precipitation, temperature, interrupt);
            if (!snow) return std::move(snow).error();
            melted = std::move(snow).value();
            precipitation = melted;
        }
        auto run = run_gr4j(precipitation, evapotranspiration, gr4j->parameters,
                            gr4j->initial_production, gr4j->initial_routing, 0, interrupt);
        if (!run) return std::move(run).error();
        flow = std::move(run->flow);
    } else {
        const HbvRunoff& hbv = std::get<HbvRunoff>(method);
        auto run = run_hbv(precipitation, temperature, evapotranspiration, hbv.parameters,
                           hbv.initial_soil_moisture, hbv.initial_upper_zone,
                           hbv.initial_lower_zone, 0, interrupt);
        if (!run) return std::move(run).error();
        flow = std::move(run->flow);
    }
    out.resize(flow.size());
    for (std::size_t i = 0; i < flow.size(); ++i) out[i] = mm_per_day_to_cfs(flow[i], area);
    if (details != nullptr) *details = {{"runoff", std::move(flow), true}};
    return {};
}

}  // namespace vesparil
