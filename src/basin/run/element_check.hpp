// The checks of an element made before any work.
#pragma once

#include <cstdint>

#include "basin/model/basin_model.hpp"
#include "core/result.hpp"

namespace vesparil {

// Checks that a run would otherwise meet only later, or never: a negative or NaN area, a
// Muskingum reach whose first outflows would go negative (2 k x above the step, per sub-reach),
// and the checks of the other methods' cores (curve number, Green-Ampt, the unit hydrographs on
// the sub-basin's area, the channel of Muskingum-Cunge, the storage-indication table).
// `tables` false leaves out the storage-indication table, which no batch column changes: a
// batch builds it once, not once per member.
Result<void> check_element(const Element& element, std::int32_t time_step, bool tables = true);

// The checks of a method's own values, which hold in whatever basin it is in (its step, the
// sub-basin's area, the other elements play no part), with the methods' own messages: made
// when a method class is constructed and when plain data is read, and again by check_element.
// A continuous model's are check_continuous (basin/daily/lumped_flow.hpp) at a daily step, a snow
// store's check_snow (basin/daily/snow_store.hpp).
Result<void> check_loss(const LossMethod& method);
Result<void> check_transform_values(const TransformMethod& method);
Result<void> check_reach_values(const ReachMethod& method);
Result<void> check_reservoir_values(const ReservoirMethod& method);

}  // namespace vesparil
