// Goodness-of-fit scores; see the header for the sources and the equations.
//
// Every sum has a single accumulator running in index order, so a score does not depend on how
// the loop was compiled (no reassociation, no fused multiply-add). A sum over the observations
// alone is made once per observed series, in the pass of the first members that needs it; the
// sums over simulated series run for kLanes members at a time, each with its own accumulator,
// two members to a 128-bit register whose lanes are separate IEEE operations. That hides the
// latency of each addition behind the other members' without changing any member's order: a
// member has the same bits in any group, alone included.
#include "metrics/scores.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace vesparil {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using Pair = double __attribute__((vector_size(16)));
using PairBits = std::uint64_t __attribute__((vector_size(16)));

double magnitude(double x) { return std::fabs(x); }

// fabs of each lane: the sign bit cleared, as fabs does.
Pair magnitude(Pair x) {
    constexpr std::uint64_t kAllButSign = ~(std::uint64_t{1} << 63);
    const PairBits mask = {kAllButSign, kAllButSign};
    return std::bit_cast<Pair>(std::bit_cast<PairBits>(x) & mask);
}

double squared_departure_from_one(double ratio) {
    const double departure = ratio - 1.0;
    return departure * departure;
}

// Σ term(s_k[i], o[i]) over i in index order for each of K members (one, or pairs), and with
// Observed also Σ observed_term(o[i]) into observed_sum.
template <std::size_t K, bool Observed, class Term, class ObservedTerm>
std::array<double, K> member_sums(const double* const* rows, const double* o, std::size_t len,
                                  Term term, ObservedTerm observed_term, double& observed_sum) {
    static_assert(K == 1 || K % 2 == 0);
    std::array<double, K> sums{};
    double obs_sum = 0.0;
    if constexpr (K == 1) {
        const double* const s = rows[0];
        double sum = 0.0;
        for (std::size_t i = 0; i < len; ++i) {
            sum += term(s[i], o[i]);
            if constexpr (Observed) obs_sum += observed_term(o[i]);
        }
        sums[0] = sum;
    } else {
        constexpr std::size_t kPairs = K / 2;
        std::array<const double*, K> s{};
        for (std::size_t k = 0; k < K; ++k) s[k] = rows[k];
        std::array<Pair, kPairs> pair_sums{};
        for (std::size_t i = 0; i < len; ++i) {
            const double obs = o[i];
            const Pair obs_pair = {obs, obs};
            for (std::size_t p = 0; p < kPairs; ++p) {
                const Pair simulated = {s[2 * p][i], s[2 * p + 1][i]};
                pair_sums[p] += term(simulated, obs_pair);
            }
            if constexpr (Observed) obs_sum += observed_term(obs);
        }
        for (std::size_t p = 0; p < kPairs; ++p) {
            sums[2 * p] = pair_sums[p][0];
            sums[2 * p + 1] = pair_sums[p][1];
        }
    }
    if constexpr (Observed) observed_sum = obs_sum;
    return sums;
}

// member_sums, making the observed sum alongside when it is not made yet.
template <std::size_t K, class Term, class ObservedTerm>
std::array<double, K> sums_and(std::optional<double>& observed_sum, const double* const* rows,
                               const double* o, std::size_t len, Term term,
                               ObservedTerm observed_term) {
    double made = 0.0;
    if (observed_sum) return member_sums<K, false>(rows, o, len, term, observed_term, made);
    const auto sums = member_sums<K, true>(rows, o, len, term, observed_term, made);
    observed_sum = made;
    return sums;
}

// Σ (s - m_s)(o - m_o) and Σ (s - m_s)² for each member, and with Observed Σ (o - m_o)².
template <std::size_t K, bool Observed>
void deviation_sums(const double* const* rows, const double* o, std::size_t len,
                    const std::array<double, K>& mean_sim, double mean_obs,
                    std::array<double, K>& cross, std::array<double, K>& sim_sq,
                    double& obs_sq) {
    double obs_sum = 0.0;
    if constexpr (K == 1) {
        const double* const s = rows[0];
        for (std::size_t i = 0; i < len; ++i) {
            const double ds = s[i] - mean_sim[0];
            const double dobs = o[i] - mean_obs;
            cross[0] += ds * dobs;
            sim_sq[0] += ds * ds;
            if constexpr (Observed) obs_sum += dobs * dobs;
        }
    } else {
        constexpr std::size_t kPairs = K / 2;
        std::array<const double*, K> s{};
        for (std::size_t k = 0; k < K; ++k) s[k] = rows[k];
        std::array<Pair, kPairs> mean{}, cross_pair{}, sim_sq_pair{};
        for (std::size_t p = 0; p < kPairs; ++p) mean[p] = Pair{mean_sim[2 * p], mean_sim[2 * p + 1]};
        for (std::size_t i = 0; i < len; ++i) {
            const double dobs = o[i] - mean_obs;
            const Pair dobs_pair = {dobs, dobs};
            for (std::size_t p = 0; p < kPairs; ++p) {
                const Pair ds = Pair{s[2 * p][i], s[2 * p + 1][i]} - mean[p];
                cross_pair[p] += ds * dobs_pair;
                sim_sq_pair[p] += ds * ds;
            }
            if constexpr (Observed) obs_sum += dobs * dobs;
        }
        for (std::size_t p = 0; p < kPairs; ++p) {
            for (std::size_t j = 0; j < 2; ++j) {
                cross[2 * p + j] = cross_pair[p][j];
                sim_sq[2 * p + j] = sim_sq_pair[p][j];
            }
        }
    }
    if constexpr (Observed) obs_sq = obs_sum;
}

// The KGE and the correlation of K members: Σ s first, then the deviations.
template <std::size_t K>
void kge_group(ObservedSums& observed, KgeVariant variant, bool correlation_only,
               const double* const* rows, double* const* out) {
    const double* const o = observed.values.data();
    const std::size_t len = observed.values.size();
    const auto sums = sums_and<K>(observed.total, rows, o, len, [](auto s, auto) { return s; },
                                  [](double x) { return x; });
    const double mean_obs = *observed.total / observed.n;
    std::array<double, K> mean_sim{}, cross{}, sim_sq{};
    for (std::size_t k = 0; k < K; ++k) mean_sim[k] = sums[k] / observed.n;
    if (observed.spread_sq) {
        double unused = 0.0;
        deviation_sums<K, false>(rows, o, len, mean_sim, mean_obs, cross, sim_sq, unused);
    } else {
        double obs_sq = 0.0;
        deviation_sums<K, true>(rows, o, len, mean_sim, mean_obs, cross, sim_sq, obs_sq);
        observed.spread_sq = obs_sq;
    }
    const double obs_sq = *observed.spread_sq;
    for (std::size_t k = 0; k < K; ++k) {
        // One square root of the product, so that a series against itself has r = 1 exactly
        // (sqrt(x * x) == x), where the product of two roots may miss it by an ulp.
        const double r = cross[k] / std::sqrt(sim_sq[k] * obs_sq);
        if (correlation_only) {
            out[k][0] = r;
            continue;
        }
        const double std_sim = std::sqrt(sim_sq[k] / observed.n);
        const double std_obs = std::sqrt(obs_sq / observed.n);
        const double beta = mean_sim[k] / mean_obs;
        double variability = 0.0;
        double distance = 0.0;
        if (variant == KgeVariant::gupta_2009) {
            variability = std_sim / std_obs;
            distance = std::sqrt(squared_departure_from_one(r) +
                                 squared_departure_from_one(variability) +
                                 squared_departure_from_one(beta));
        } else {
            variability = (std_sim / mean_sim[k]) / (std_obs / mean_obs);
            distance = std::sqrt(squared_departure_from_one(r) + squared_departure_from_one(beta) +
                                 squared_departure_from_one(variability));
        }
        out[k][0] = 1.0 - distance;
        out[k][1] = r;
        out[k][2] = variability;
        out[k][3] = beta;
    }
}

template <std::size_t K>
void score_group(ScoreKind kind, const ScoreOptions& options, ObservedSums& observed,
                 const double* const* rows, double* const* out) {
    const double* const o = observed.values.data();
    const std::size_t len = observed.values.size();
    if (len == 0) {
        for (std::size_t k = 0; k < K; ++k) {
            for (std::size_t j = 0; j < score_width(kind); ++j) out[k][j] = kNaN;
        }
        return;
    }
    const auto squared_error = [](auto s, auto obs) {
        const auto error = s - obs;
        return error * error;
    };
    const double mean_obs = observed.mean;
    const auto squared_spread = [mean_obs](double x) {
        const double spread = x - mean_obs;
        return spread * spread;
    };
    const auto nothing = [](double) { return 0.0; };
    double unused = 0.0;
    switch (kind) {
        case ScoreKind::nse: {
            const auto error_sq =
                sums_and<K>(observed.spread_sq, rows, o, len, squared_error, squared_spread);
            for (std::size_t k = 0; k < K; ++k) *out[k] = 1.0 - error_sq[k] / *observed.spread_sq;
            return;
        }
        case ScoreKind::log_nse:
            // The observations were transformed once; each simulated value is on the way, one
            // member at a time (score_rows).
            if constexpr (K == 1) {
                const double epsilon = observed.epsilon;
                const auto error_sq = member_sums<1, false>(
                    rows, o, len,
                    [epsilon](double s, double log_obs) {
                        const double error = std::log(s + epsilon) - log_obs;
                        return error * error;
                    },
                    nothing, unused);
                *out[0] = 1.0 - error_sq[0] / *observed.spread_sq;
            }
            return;
        case ScoreKind::pbias: {
            const auto difference = sums_and<K>(observed.total, rows, o, len,
                                                [](auto s, auto obs) { return s - obs; },
                                                [](double x) { return x; });
            for (std::size_t k = 0; k < K; ++k) *out[k] = 100.0 * difference[k] / *observed.total;
            return;
        }
        case ScoreKind::rmse: {
            const auto error_sq = member_sums<K, false>(rows, o, len, squared_error, nothing, unused);
            for (std::size_t k = 0; k < K; ++k) *out[k] = std::sqrt(error_sq[k] / observed.n);
            return;
        }
        case ScoreKind::mae: {
            const auto absolute = member_sums<K, false>(
                rows, o, len, [](auto s, auto obs) { return magnitude(s - obs); }, nothing, unused);
            for (std::size_t k = 0; k < K; ++k) *out[k] = absolute[k] / observed.n;
            return;
        }
        case ScoreKind::kge_components:
        case ScoreKind::pearson_r:
            kge_group<K>(observed, options.variant, kind == ScoreKind::pearson_r, rows, out);
            return;
    }
}

double sum(std::span<const double> values) {
    double total = 0.0;
    for (const double x : values) total += x;
    return total;
}

double squared_spread(std::span<const double> values, double mean) {
    double spread_sq = 0.0;
    for (const double x : values) {
        const double spread = x - mean;
        spread_sq += spread * spread;
    }
    return spread_sq;
}

}  // namespace

ObservedSums observed_sums(ScoreKind kind, const ScoreOptions& options,
                           std::span<const double> obs) {
    ObservedSums observed;
    observed.values = obs;
    observed.n = static_cast<double>(obs.size());
    if (obs.empty()) return observed;
    if (kind == ScoreKind::nse) observed.mean = sum(obs) / observed.n;
    if (kind != ScoreKind::log_nse) return observed;
    observed.epsilon = options.epsilon ? *options.epsilon : (sum(obs) / observed.n) / 100.0;
    observed.transformed.reserve(obs.size());
    for (const double x : obs) observed.transformed.push_back(std::log(x + observed.epsilon));
    observed.values = observed.transformed;
    observed.mean = sum(observed.values) / observed.n;
    observed.spread_sq = squared_spread(observed.values, observed.mean);
    return observed;
}

void score_rows(ScoreKind kind, const ScoreOptions& options, ObservedSums& observed,
                std::span<const double* const> rows, std::span<double> out) {
    const std::size_t width = score_width(kind);
    std::size_t k = 0;
    // The logarithms are the cost of the log NSE, one at a time: it gains nothing side by side.
    if (kind != ScoreKind::log_nse) {
        for (; k + kLanes <= rows.size(); k += kLanes) {
            std::array<double*, kLanes> into{};
            for (std::size_t j = 0; j < kLanes; ++j) into[j] = out.data() + (k + j) * width;
            score_group<kLanes>(kind, options, observed, rows.data() + k, into.data());
        }
    }
    for (; k < rows.size(); ++k) {
        double* into = out.data() + k * width;
        score_group<1>(kind, options, observed, rows.data() + k, &into);
    }
}

}  // namespace vesparil
