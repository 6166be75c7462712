// The forcing of a basin run: one slot per element.
#pragma once

#include <cstddef>
#include <vector>

#include "utils/time_series.hpp"

namespace vesparil {

// One series per element, in element order: the rainfall of a sub-basin (inches per step), the
// flows of a source (cfs), empty for the other elements. Every given series has `steps` values.
// A sub-basin run by a continuous model takes its precipitation (mm/day) in `inputs` and its
// potential evapotranspiration (mm/day) and temperature (deg C, HBV only) in the slots below,
// which stay empty for every other element. An event sub-basin given the same dict (`front`
// true) takes its precipitation (mm per step) in `inputs` too and makes its rain through its
// daily front (basin/daily/daily_front.hpp). A sub-basin with an evapotranspiration method takes its
// days of year and, for Hargreaves, its daily extremes (deg C) in the last slots (its daily mean
// in `temperature`), and its `evapotranspiration` is made from them once per run or batch
// (basin/daily/pet_method.hpp).
struct BasinForcing {
    std::size_t steps = 0;
    std::vector<IncrementalTimeSeries> inputs;
    std::vector<std::vector<double>> evapotranspiration;
    std::vector<std::vector<double>> temperature;
    std::vector<bool> front;  // one per element
    std::vector<std::vector<double>> day_of_year;
    std::vector<std::vector<double>> temperature_min;
    std::vector<std::vector<double>> temperature_max;
};

}  // namespace vesparil
