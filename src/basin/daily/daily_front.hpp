// The daily front of an event sub-basin: what its loss method receives when its forcing is a dict
// of precipitation, potential evapotranspiration (mm per step) and, behind a snow store,
// temperature (deg C), instead of a rainfall series in inches per step.
//
// Per step i, in this order:
//   liquid_i = the snow store's liquid water of step i (basin/daily/snow_store.hpp: the same bits as
//              run_degree_day_snow's outflow or run_cemaneige's liquid_water), or P_i without one
//   net_i    = max(0, liquid_i - E_i)   the net rainfall of GR4J (Perrin, Michel and Andreassian
//              2003, "Improvement of a parsimonious model for streamflow simulation", J. Hydrol.
//              279, eq. 1): evapotranspiration takes what it can from the liquid water
//   rain_i   = net_i / 25.4             mm to inches, once, here
// A snow store runs daily, so a sub-basin with one needs a basin step of one day, as one whose
// evapotranspiration is made from temperature does; without either, the front works at any step
// (its series are then mm per step).
#pragma once

#include <cstdint>
#include <span>

#include "basin/model/basin_model.hpp"
#include "core/interrupt.hpp"
#include "core/result.hpp"
#include "utils/time_series.hpp"

namespace vesparil {

inline constexpr double kMillimetresPerInch = 25.4;

// The basin's step of one day when the sub-basin has a snow store, then the store's checks, as
// ValueErrors without the element's name.
Result<void> check_front(const Subbasin& subbasin, std::int32_t time_step);

// The checks of a sub-basin's daily methods: its evapotranspiration method's
// (basin/daily/pet_method.hpp), then its continuous model's (basin/daily/lumped_flow.hpp) or its front's.
Result<void> check_daily(const Subbasin& subbasin, std::int32_t time_step);

// The rain the loss receives, inches per step, on the basin's axis (one value per step).
Result<IncrementalTimeSeries> front_rain(const Subbasin& subbasin, std::int32_t time_step,
                                         std::span<const double> precipitation,
                                         std::span<const double> evapotranspiration,
                                         std::span<const double> temperature,
                                         InterruptCheck interrupt);

}  // namespace vesparil
