// Clark unit hydrograph (Clark 1945): translation through a time-area curve, attenuation by a
// linear reservoir, then convolution with the excess rainfall.
//
// Rainfall in inches per time step, basin area in acres, discharge in cubic feet per second,
// the time step, the time of concentration and the storage coefficient in seconds.
#pragma once

#include <cstdint>
#include <vector>

#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

// Discharge of Z + N - 1 values for Z rainfall values, N = ceil(tc / time_step) unit-hydrograph
// ordinates; Z zeros when tc_seconds is not positive. Fails with the internal error
// "capacity overflow" when a vector would exceed the largest allocation. `interrupt` is asked
// every kInterruptInterval ordinates or multiply-adds.
Result<std::vector<double>> clark_uh_rs(const std::vector<double>& rainfall, std::int32_t time_step,
                                        double basin_area, double tc_seconds,
                                        double storage_seconds, InterruptCheck interrupt = {});

}  // namespace vesparil
