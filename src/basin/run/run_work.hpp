// A basin run's work in the interrupt counter's units, as its cores count it: what a binding
// weighs when it decides whether to let go of the interpreter lock.
#pragma once

#include <cstdint>

#include "basin/model/basin_model.hpp"

namespace vesparil {

// The work of one step of every element: a day of a continuous model counts its unit
// hydrographs' ordinates or MAXBAS's weights (gr4j_day_work, hbv_day_work), a storage-indication
// step its outlets, any other element a constant.
std::uint64_t step_work(const BasinModel& model);

// The work done once per run before the steps: a storage-indication table's rows.
std::uint64_t setup_work(const BasinModel& model);

}  // namespace vesparil
