// Many runs of one basin, each member with its own parameter values, scored against an observed
// series at one element (basin/batch/batch_score.hpp), on a pool of native threads.
//
// Every member is a run on its own copy of the model (one copy per worker, every column set
// before each member), so it has the bits of a single run with those parameters whatever the
// number of threads. Workers take blocks of members from one atomic counter; the scores and the
// optional outflow rows are allocated before any work starts, and each member writes only its
// own row.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "basin/model/basin_model.hpp"
#include "basin/run/basin_run.hpp"
#include "basin/batch/batch_score.hpp"
#include "basin/model/network.hpp"
#include "basin/batch/parameter_columns.hpp"
#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

struct BatchRequest {
    std::span<const double> parameters;  // members x columns, row after row
    std::vector<ParameterColumn> columns;
    std::span<const double> observed;  // T values
    std::size_t at = 0;                // the element scored
    BatchScoring scoring;              // the metric, the missing-value rule, the warm-up
    std::span<double> outflow_rows;    // members x T at `at`, written when not empty
    unsigned threads = 0;  // 0: every core
};

struct BatchResult {
    std::vector<double> scores;  // one per member
};

// Every member's values on their own (a NaN, a negative duration), before any work: the first
// bad one fails as a ValueError "member {i}, column '{name}': {why}".
Result<void> check_values(const BatchRequest& request);

// The elements a member's columns set, with that member's values applied in `own` (once: the
// batch's workers apply them and run the member on the same copy), as the same ValueError.
Result<void> check_member(const BasinModel& own, const BatchRequest& request, std::size_t member);

// The batch. `interrupt` is asked by the calling thread every few milliseconds while the workers
// run; a stop request ends every worker after its current member.
Result<BatchResult> run_batch(const BasinModel& model, const Network& network,
                              const BasinForcing& forcing, const BatchRequest& request,
                              InterruptCheck interrupt);

}  // namespace vesparil
