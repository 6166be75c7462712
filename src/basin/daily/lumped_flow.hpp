// A sub-basin whose whole runoff is a continuous daily model (GR4J or HBV), on the basin's axis.
//
// The basin's step must be one day. The model runs from its initial stores over the sub-basin's
// daily precipitation and potential evapotranspiration (mm/day; HBV, and GR4J behind a snow
// store, also temperature, deg C) through its own core unchanged (GR4J's precipitation being
// the snow store's liquid water when it has one: run_degree_day_snow's outflow or
// run_cemaneige's liquid_water, from day 0; basin/daily/snow_store.hpp), and its flow
// of day i (mm/day over the sub-basin) becomes the outflow value i in cfs:
//   Q_cfs = (Q_mm_per_day * area_acres) * kCfsPerMmDayAcre,
//   kCfsPerMmDayAcre = 43560 / 26334720 (square feet per acre over millimetres per foot, 304.8,
//   times seconds per day, 86400), about 0.00165409.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "basin/model/basin_model.hpp"
#include "basin/model/element_series.hpp"
#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

inline constexpr double kCfsPerMmDayAcre = 43560.0 / 26334720.0;
inline constexpr std::int32_t kSecondsPerDay = 86400;

// The day's flow in mm/day over `area` acres as cfs, by the rule above.
inline double mm_per_day_to_cfs(double flow, double area) {
    return flow * area * kCfsPerMmDayAcre;
}

// The basin's step of one day, which the daily models and snow stores need ("a continuous model
// needs a time step of one day; the basin's is ... s").
Result<void> check_daily_step(std::int32_t time_step);

// The model's checks (its parameters, its initial stores) and the basin's step of one day, as
// ValueErrors without the element's name.
Result<void> check_continuous(const ContinuousMethod& method, std::int32_t time_step);

// `out` receives one value per day; `details` (when given) the model's "runoff", a depth in mm
// per day (incremental, as a sub-basin's excess).
Result<void> continuous_outflow(const ContinuousMethod& method, double area,
                                std::span<const double> precipitation,
                                std::span<const double> evapotranspiration,
                                std::span<const double> temperature, std::vector<double>& out,
                                InterruptCheck interrupt, ElementDetails* details = nullptr);

// The named values of a continuous model, as batch columns "<sub-basin>.gr4j.<name>" and
// "<sub-basin>.hbv.<name>": the index of `parameter` in its constructor's order, or none; GR4J's
// snow store's values follow its own, from kGr4jSnowFirst on, in the order of snow_index (the
// caller checks it has the store and the store has the value).
inline constexpr std::size_t kGr4jSnowFirst = 6;
std::optional<std::size_t> continuous_index(const std::string& method,
                                            const std::string& parameter);
double& continuous_value(ContinuousMethod& method, std::size_t index);

}  // namespace vesparil
