// The members of an ensemble scored in blocks, shared among threads when there are many.
//
// Blocks of kBlockMembers members are taken in turn from one atomic counter by the calling
// thread and, when the ensemble holds at least kThreadedValues values, by helper threads (one
// per further core, at most kMaxHelpers). A member's score does not depend on the block or the
// thread that makes it (scores.cpp), so the result has the bits of a run on one thread. Only the
// calling thread asks the interrupt counter; the helpers stop at the end of their block when it
// says to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/interrupt.hpp"
#include "core/result.hpp"
#include "metrics/scores.hpp"

namespace vesparil {

inline constexpr std::size_t kBlockMembers = 8 * kLanes;
inline constexpr std::uint64_t kThreadedValues = std::uint64_t{1} << 21;
inline constexpr unsigned kMaxHelpers = 7;

// Writes score_width(kind) numbers per member to `out`; every member has the length of the
// observed series that `observed` sums.
Result<void> score_blocks(ScoreKind kind, const ScoreOptions& options, ObservedSums& observed,
                          std::span<const std::span<const double>> members, std::span<double> out,
                          InterruptCounter& counter);

}  // namespace vesparil
