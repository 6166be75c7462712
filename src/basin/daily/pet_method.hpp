// A daily sub-basin's potential evapotranspiration made from temperature, in place of a given
// series: Oudin et al. (2005) or Hamon (1961) from the daily mean temperature, Hargreaves and
// Samani (1985) from the daily minimum and maximum, each at the sub-basin's latitude and for
// the given days of year, through the evapotranspiration subsystem's own core
// (evapotranspiration/potential.hpp), so that the series has the bits of calculate_pet_oudin,
// calculate_pet_hargreaves or calculate_pet_hamon. Units: deg C in, mm/day out (the unit of the
// continuous models and of the daily front, whose step is then one day).
//
// The series depends on the forcing and the latitude only, which no batch column sets: it is
// made once per run or batch, into the forcing's evapotranspiration slot, and every member
// reads it there as if it had been given.
#pragma once

#include <cstdint>
#include <vector>

#include "basin/model/basin_model.hpp"
#include "basin/model/forcing.hpp"
#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

// The latitude's check, with the standalone functions' message ("latitude must be between -90
// and 90").
Result<void> check_pet_latitude(const EvapotranspirationMethod& method);

// The basin's step of one day, then the latitude, as ValueErrors without the element's name.
Result<void> check_pet(const EvapotranspirationMethod& method, std::int32_t time_step);

// Every sub-basin with an evapotranspiration method gets its series, one value per day, from its
// temperature slots and days of year; a failure names the sub-basin ("subbasin 'north':
// day_of_year must be between 1 and 366").
Result<void> make_evapotranspiration(const BasinModel& model, BasinForcing& forcing,
                                     InterruptCheck interrupt);

// The method's name, as its class is named ("Oudin", "Hargreaves", "Hamon").
const char* pet_method_name(const EvapotranspirationMethod& method);

}  // namespace vesparil
