// A batch member's score: its outflow at the scored element against the observations, after the
// warm-up, under the missing-value rule of the metrics (metrics/paired_scores.hpp).
//
// The first `warmup` steps of both series are left out; on the steps left:
//   propagate  the metric as it is: a NaN gives a NaN score (the batch's scores without a rule)
//   omit       the pairs with a NaN on either side are dropped first; "nse" is then
//              metrics.calculate_nse(..., missing="omit") of the window (the same code), "kge"
//              calculate_kge of the pairs kept; no pair left gives NaN
//   raise      a NaN fails the call: in the observations before any work, in a member's
//              outflow when that member is scored (the index counts from the series' start)
// The scores are calculate_kge (kge.hpp) and the NSE of scores.hpp, with their bits.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "core/result.hpp"
#include "metrics/paired_scores.hpp"

namespace vesparil {

enum class BatchScore { kge, nse };

struct BatchScoring {
    BatchScore score = BatchScore::kge;
    MissingRule missing = MissingRule::propagate;
    std::size_t warmup = 0;  // steps left out of the score, fewer than the series holds
};

// Under MissingRule::raise, the first NaN of `observed` after the warm-up, as the ValueError
// "observed has a missing value (NaN) at index {i}"; nothing under the other rules.
Result<void> check_observed(const BatchScoring& scoring, std::span<const double> observed);

// Buffers of the pairs kept, reused from member to member.
struct ScoreScratch {
    std::vector<double> simulated;
    std::vector<double> observed;
};

// A member's score; a NaN in its outflow under MissingRule::raise fails with "the outflow has a
// missing value (NaN) at index {i}" (the caller names the member).
Result<double> member_score(const BatchScoring& scoring, std::span<const double> simulated,
                            std::span<const double> observed, ScoreScratch& scratch);

}  // namespace vesparil
