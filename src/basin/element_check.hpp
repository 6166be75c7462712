// The checks of an element made before any work.
#pragma once

#include <cstdint>

#include "basin/basin_model.hpp"
#include "core/result.hpp"

namespace vesparil {

// Checks that a run would otherwise meet only later, or never: a negative or NaN area, a
// Muskingum reach whose first outflows would go negative (2 k x above the step, per sub-reach),
// and the checks of the other methods' cores (curve number, Green-Ampt, the unit hydrographs on
// the sub-basin's area, the channel of Muskingum-Cunge, the storage-indication table).
Result<void> check_element(const Element& element, std::int32_t time_step);

}  // namespace vesparil
