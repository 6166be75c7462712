// Goodness-of-fit scores; see the header for the sources and the equations.
//
// Every sum has a single accumulator running in index order, so a score does not depend on how
// the loop was compiled (no reassociation, no fused multiply-add). A sum over the observations
// alone is made once per observed series, in the pass of the first members that needs it; the
// sums over simulated series run for kLanes members at a time (metrics/member_sums.hpp), which
// changes no member's order: a member has the same bits in any group, alone included.
#include "metrics/scores.hpp"

#include <array>
#include <cmath>
#include <limits>

#include "metrics/member_sums.hpp"

namespace vesparil {

namespace {

using namespace lanes;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double squared_departure_from_one(double ratio) {
    const double departure = ratio - 1.0;
    return departure * departure;
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

// Inlined into the single-series path, where its setting up is a share of a short call.
[[gnu::always_inline]] inline ObservedSums make_observed_sums(ScoreKind kind,
                                                             const ScoreOptions& options,
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

}  // namespace

ObservedSums observed_sums(ScoreKind kind, const ScoreOptions& options,
                           std::span<const double> obs) {
    return make_observed_sums(kind, options, obs);
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

void score_one(ScoreKind kind, const ScoreOptions& options, std::span<const double> sim,
               std::span<const double> obs, double* out) {
    ObservedSums observed = make_observed_sums(kind, options, obs);
    const double* const row = sim.data();
    score_group<1>(kind, options, observed, &row, &out);
}

}  // namespace vesparil
