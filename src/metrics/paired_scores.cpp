// The missing-value rule around the scores; see the header.
#include "metrics/paired_scores.hpp"

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "metrics/member_blocks.hpp"

namespace vesparil {

namespace {

// Without an early exit, so the compiler may test several values at once.
bool has_missing(std::span<const double> values) {
    bool missing = false;
    for (const double x : values) missing |= std::isnan(x);
    return missing;
}

std::string member_name(const ScoreRequest& request, std::size_t member) {
    return request.ensemble ? "`sim` member " + std::to_string(member) : std::string("`sim`");
}

Result<void> check_lengths(const ScoreRequest& request,
                           std::span<const std::span<const double>> members,
                           std::span<const double> obs) {
    if (obs.empty()) return Error::value("`obs` must not be empty");
    for (std::size_t k = 0; k < members.size(); ++k) {
        if (members[k].size() == obs.size()) continue;
        return Error::value(member_name(request, k) + " and `obs` must have the same length (" +
                           std::to_string(members[k].size()) + " and " +
                           std::to_string(obs.size()) + ")");
    }
    return {};
}

// The first index where either series is missing a value, the observation named first.
Result<void> check_complete(const ScoreRequest& request, std::size_t member,
                            std::span<const double> sim, std::span<const double> obs) {
    if (!has_missing(sim) && !has_missing(obs)) return {};
    for (std::size_t i = 0; i < obs.size(); ++i) {
        const bool in_obs = std::isnan(obs[i]);
        if (!in_obs && !std::isnan(sim[i])) continue;
        return Error::value((in_obs ? std::string("`obs`") : member_name(request, member)) +
                            " has a missing value (NaN) at index " + std::to_string(i));
    }
    return {};
}

// The observed values that are present and where they stand, found once for all members.
struct ObservedPairs {
    bool gaps = false;
    std::vector<std::size_t> index;
    std::vector<double> values;
};

ObservedPairs observed_pairs(std::span<const double> obs) {
    ObservedPairs pairs;
    pairs.gaps = has_missing(obs);
    if (!pairs.gaps) return pairs;
    for (std::size_t i = 0; i < obs.size(); ++i) {
        if (std::isnan(obs[i])) continue;
        pairs.index.push_back(i);
        pairs.values.push_back(obs[i]);
    }
    return pairs;
}

// Scores members under MissingRule::omit. The observed gaps are dropped once; a member complete
// on the steps left shares the observed sums and waits for kLanes such members to be scored side
// by side. A member with gaps of its own drops them too and is scored alone against the
// observations left on its steps.
class OmittingScorer {
public:
    OmittingScorer(const ScoreRequest& request, std::span<const double> obs)
        : request_(request),
          width_(score_width(request.kind)),
          pairs_(observed_pairs(obs)),
          obs_(pairs_.gaps ? std::span<const double>(pairs_.values) : obs),
          shared_(observed_sums(request.kind, request.options, obs_)) {
        if (pairs_.gaps) {
            for (auto& slot : gathered_) slot.resize(obs_.size());
        }
    }

    void add(std::span<const double> sim, double* out) {
        std::span<const double> row = sim;
        if (pairs_.gaps) {
            std::vector<double>& slot = gathered_[waiting_];
            for (std::size_t j = 0; j < pairs_.index.size(); ++j) slot[j] = sim[pairs_.index[j]];
            row = slot;
        }
        if (has_missing(row)) return score_alone(row, out);
        rows_[waiting_] = row.data();
        outs_[waiting_] = out;
        if (++waiting_ == kLanes) flush();
    }

    void flush() {
        std::array<double, kLanes * 4> scores{};
        score_rows(request_.kind, request_.options, shared_, {rows_.data(), waiting_},
                   {scores.data(), waiting_ * width_});
        for (std::size_t k = 0; k < waiting_; ++k) {
            for (std::size_t j = 0; j < width_; ++j) outs_[k][j] = scores[k * width_ + j];
        }
        waiting_ = 0;
    }

private:
    void score_alone(std::span<const double> row, double* out) {
        sim_kept_.clear();
        obs_kept_.clear();
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (std::isnan(row[i])) continue;
            sim_kept_.push_back(row[i]);
            obs_kept_.push_back(obs_[i]);
        }
        ObservedSums own = observed_sums(request_.kind, request_.options, obs_kept_);
        const double* kept = sim_kept_.data();
        score_rows(request_.kind, request_.options, own, {&kept, 1}, {out, width_});
    }

    const ScoreRequest& request_;
    std::size_t width_;
    ObservedPairs pairs_;
    std::span<const double> obs_;  // the observations present
    ObservedSums shared_;
    std::array<std::vector<double>, kLanes> gathered_;
    std::array<const double*, kLanes> rows_{};
    std::array<double*, kLanes> outs_{};
    std::size_t waiting_ = 0;
    std::vector<double> sim_kept_;
    std::vector<double> obs_kept_;
};

}  // namespace

Result<MissingRule> missing_rule(std::string_view word) {
    if (word == "propagate") return MissingRule::propagate;
    if (word == "omit") return MissingRule::omit;
    if (word == "raise") return MissingRule::raise;
    return Error::value("missing must be one of [\"propagate\", \"omit\", \"raise\"]; got '" +
                        std::string(word) + "'");
}

Result<KgeVariant> kge_variant(std::string_view word) {
    if (word == "2009") return KgeVariant::gupta_2009;
    if (word == "2012") return KgeVariant::kling_2012;
    return Error::value("variant must be one of [\"2009\", \"2012\"]; got '" + std::string(word) +
                        "'");
}

Result<void> score_series(ScoreKind kind, const ScoreOptions& options,
                          std::span<const double> sim, std::span<const double> obs, double* out) {
    if (obs.empty()) return Error::value("`obs` must not be empty");
    if (sim.size() != obs.size()) {
        return Error::value("`sim` and `obs` must have the same length (" +
                            std::to_string(sim.size()) + " and " + std::to_string(obs.size()) +
                            ")");
    }
    score_one(kind, options, sim, obs, out);
    return {};
}

Result<void> score_members(const ScoreRequest& request,
                           std::span<const std::span<const double>> members,
                           std::span<const double> obs, std::span<double> out,
                           InterruptCheck interrupt) {
    if (auto checked = check_lengths(request, members, obs); !checked) return checked;
    const std::size_t width = score_width(request.kind);
    if (out.size() != members.size() * width) {
        return Error::internal("score_members: the output does not fit the members");
    }
    // Every member is checked before any is scored, so a refused call writes nothing.
    if (request.missing == MissingRule::raise) {
        for (std::size_t k = 0; k < members.size(); ++k) {
            if (auto complete = check_complete(request, k, members[k], obs); !complete) {
                return complete;
            }
        }
    }
    InterruptCounter counter(interrupt);
    if (request.missing == MissingRule::omit) {
        OmittingScorer scorer(request, obs);
        for (std::size_t k = 0; k < members.size(); ++k) {
            scorer.add(members[k], out.data() + k * width);
            if (counter.stop_requested_after(obs.size())) return Error::interrupted();
        }
        scorer.flush();
        return {};
    }
    ObservedSums observed = observed_sums(request.kind, request.options, obs);
    return score_blocks(request.kind, request.options, observed, members, out, counter);
}

}  // namespace vesparil
