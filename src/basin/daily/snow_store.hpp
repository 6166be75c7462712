// A snow store in front of a model (GR4J's, or an event sub-basin's daily front): the degree-day
// store (snow/degree_day.hpp) or CemaNeige (snow/cemaneige.hpp), each run whole from its own
// start through its own core, so that the liquid water it gives a model has the bits of
// run_degree_day_snow's `outflow` or run_cemaneige's `liquid_water`. Daily, mm/day and deg C.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "basin/model/basin_model.hpp"
#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

// The store's checks (its parameters, its start, CemaNeige's bands), as ValueErrors with the
// cores' messages.
Result<void> check_snow(const SnowMethod& snow);

// The liquid water leaving the store each day (mm/day), one value per day of `precipitation`.
Result<std::vector<double>> snow_liquid_water(const SnowMethod& snow,
                                              std::span<const double> precipitation,
                                              std::span<const double> temperature,
                                              InterruptCheck interrupt);

// The store's values as batch columns, by name: the degree-day store's threshold_temperature,
// melt_factor, refreezing_coefficient, water_holding and initial_snowpack (indexes 0 to 4), then
// CemaNeige's kf and ctg (5 and 6). Its other values (the bands, the mean annual snowfall, the
// gradients) describe the catchment and are no columns.
inline constexpr std::size_t kSnowValues = 7;
std::optional<std::size_t> snow_index(const std::string& parameter);
// Whether `snow` has the value of that index (the degree-day store 0 to 4, CemaNeige 5 and 6).
bool snow_has(const SnowMethod& snow, std::size_t index);
double& snow_value(SnowMethod& snow, std::size_t index);

}  // namespace vesparil
