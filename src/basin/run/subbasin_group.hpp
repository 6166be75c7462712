// Several members of one sub-basin at once, for the batch: the same structure, each member with
// its own parameters.
//
// The loss and the baseflow layers are recurrences whose every step waits for the one before;
// one member alone leaves the processor idle most of the time. Here each step advances every
// member in turn, so their independent chains overlap. Each member's operations are those of the
// cores (deficit_step, layer_inflow, reservoir_step, in the same order, with the layers added in
// their order), so every member has the bits of subbasin_outflow. The members have no loss or
// the deficit-and-constant loss (groups_with_loss); the transform is any of direct_runoff's.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "basin/model/basin_model.hpp"
#include "core/interrupt.hpp"
#include "core/result.hpp"
#include "utils/time_series.hpp"

namespace vesparil {

inline constexpr std::size_t kGroupMembers = 4;

// Buffers reused from group to group.
struct GroupScratch {
    std::vector<double> excess[kGroupMembers];
    std::vector<double> infiltrated[kGroupMembers];
    std::vector<double> base[kGroupMembers];
    std::vector<double> states;
    std::vector<double> flows;
};

// A sub-basin whose loss a group advances: none, or deficit and constant. The other losses are
// run member by member, through subbasin_outflow.
bool groups_with_loss(const Subbasin& subbasin);

// `members` (1 to kGroupMembers, alike but for their parameter values) on `rain`; member g's
// outflow goes to *outs[g].
Result<void> subbasin_outflow_group(std::span<const Subbasin* const> members,
                                    const IncrementalTimeSeries& rain,
                                    std::span<std::vector<double>* const> outs,
                                    GroupScratch& scratch, InterruptCheck interrupt);

}  // namespace vesparil
