// A batch member's score; see the header for the rule.
#include "basin/batch/batch_score.hpp"

#include <cmath>
#include <limits>
#include <string>

#include "core/format.hpp"
#include "metrics/kge.hpp"
#include "metrics/scores.hpp"

namespace vesparil {

namespace {

Result<void> first_missing(const char* what, std::span<const double> values, std::size_t first) {
    for (std::size_t i = first; i < values.size(); ++i) {
        if (!std::isnan(values[i])) continue;
        return Error::value(std::string(what) + " has a missing value (NaN) at index " +
                            format_int(static_cast<std::int64_t>(i)));
    }
    return {};
}

// The score of the whole window, NaN carried by the arithmetic.
Result<double> window_score(BatchScore score, std::span<const double> sim,
                            std::span<const double> obs) {
    if (score == BatchScore::kge) return calculate_kge(sim, obs, false);
    // The NSE of calculate_nse: the same sums, in the same order, for one member.
    if (obs.empty()) return Error::value("Observed series is empty.");
    if (sim.size() != obs.size()) return Error::value("Series length mismatch.");
    double nse = 0.0;
    score_one(ScoreKind::nse, ScoreOptions{}, sim, obs, &nse);
    return nse;
}

}  // namespace

Result<void> check_observed(const BatchScoring& scoring, std::span<const double> observed) {
    if (scoring.missing != MissingRule::raise) return {};
    return first_missing("observed", observed, scoring.warmup);
}

Result<double> member_score(const BatchScoring& scoring, std::span<const double> simulated,
                            std::span<const double> observed, ScoreScratch& scratch) {
    if (scoring.missing == MissingRule::raise) {
        auto complete = first_missing("the outflow", simulated, scoring.warmup);
        if (!complete) return std::move(complete).error();
    }
    const std::span<const double> sim = simulated.subspan(scoring.warmup);
    const std::span<const double> obs = observed.subspan(scoring.warmup);
    if (scoring.missing != MissingRule::omit) return window_score(scoring.score, sim, obs);
    if (scoring.score == BatchScore::nse) {
        // calculate_nse's own path for a series with the rule.
        const ScoreRequest request{ScoreKind::nse, ScoreOptions{}, MissingRule::omit, false};
        const std::span<const double> members[] = {sim};
        double nse = 0.0;
        auto scored = score_members(request, members, obs, {&nse, 1}, {});
        if (!scored) return std::move(scored).error();
        return nse;
    }
    scratch.simulated.clear();
    scratch.observed.clear();
    for (std::size_t i = 0; i < obs.size(); ++i) {
        if (std::isnan(sim[i]) || std::isnan(obs[i])) continue;
        scratch.simulated.push_back(sim[i]);
        scratch.observed.push_back(obs[i]);
    }
    if (scratch.observed.empty()) return std::numeric_limits<double>::quiet_NaN();
    return calculate_kge(scratch.simulated, scratch.observed, false);
}

}  // namespace vesparil
