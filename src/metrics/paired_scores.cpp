// The missing-value rule around the scores; see the header.
#include "metrics/paired_scores.hpp"

#include <cmath>
#include <string>
#include <vector>


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

// The pairs left once the missing values are dropped, gathered into two buffers reused from one
// member to the next; a member complete against complete observations is scored in place.
class OmittingScorer {
public:
    OmittingScorer(const ScoreRequest& request, std::span<const double> obs)
        : request_(request), obs_(obs), observed_(observed_pairs(obs)) {}

    void score(std::span<const double> sim, double* out) {
        if (!observed_.gaps && !has_missing(sim)) {
            score_pairs(request_.kind, request_.options, sim, obs_, out);
            return;
        }
        sim_kept_.clear();
        obs_kept_.clear();
        if (observed_.gaps) {
            for (std::size_t k = 0; k < observed_.index.size(); ++k) {
                keep(sim[observed_.index[k]], observed_.values[k]);
            }
        } else {
            for (std::size_t i = 0; i < sim.size(); ++i) keep(sim[i], obs_[i]);
        }
        score_pairs(request_.kind, request_.options, sim_kept_, obs_kept_, out);
    }

private:
    void keep(double simulated, double observed) {
        if (std::isnan(simulated)) return;
        sim_kept_.push_back(simulated);
        obs_kept_.push_back(observed);
    }

    const ScoreRequest& request_;
    std::span<const double> obs_;
    ObservedPairs observed_;
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
            scorer.score(members[k], out.data() + k * width);
            if (counter.stop_requested_after(obs.size())) return Error::interrupted();
        }
        return {};
    }
    for (std::size_t k = 0; k < members.size(); ++k) {
        score_pairs(request.kind, request.options, members[k], obs, out.data() + k * width);
        if (counter.stop_requested_after(obs.size())) return Error::interrupted();
    }
    return {};
}

}  // namespace vesparil
