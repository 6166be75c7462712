// A score of one simulated series, or of every member of an ensemble, against one observed
// series, with a rule for missing values (NaN) on either side.
//
//     propagate  a NaN anywhere gives a NaN score: the arithmetic of metrics/scores.cpp carries it
//     omit       pairs with a NaN on either side are dropped before anything is computed (means,
//                ε of the log NSE included); no pair left gives NaN
//     raise      the first index holding a NaN, in either series, fails the call
//
// A series alone is scored as an ensemble of one member, through the same code, so every member
// of an ensemble has the bits it would have alone. The observed gaps are found once for all
// members.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "core/interrupt.hpp"
#include "core/result.hpp"
#include "metrics/scores.hpp"

namespace vesparil {

enum class MissingRule { propagate, omit, raise };

// The rule named by `word`, or the ValueError listing the three words.
Result<MissingRule> missing_rule(std::string_view word);

// The variant named by `word` ("2009" or "2012"), or the ValueError listing both.
Result<KgeVariant> kge_variant(std::string_view word);

struct ScoreRequest {
    ScoreKind kind;
    ScoreOptions options;
    MissingRule missing = MissingRule::propagate;
    // Error messages name "`sim` member k" rather than "`sim`" (a two-dimensional `sim`).
    bool ensemble = false;
};

// One series under MissingRule::propagate, the short call's path: the checks and messages of
// score_members, and the same bits, without an ensemble's bookkeeping.
Result<void> score_series(ScoreKind kind, const ScoreOptions& options,
                          std::span<const double> sim, std::span<const double> obs, double* out);

// Writes score_width(kind) numbers per member to `out` (members.size() times that many), in
// member order. Fails when `obs` is empty, when a member's length differs from it, or, under
// MissingRule::raise, at the first missing value; checks the caller every few million values.
Result<void> score_members(const ScoreRequest& request,
                           std::span<const std::span<const double>> members,
                           std::span<const double> obs, std::span<double> out,
                           InterruptCheck interrupt);

}  // namespace vesparil
