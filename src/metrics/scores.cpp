// Goodness-of-fit scores; see the header for the sources and the equations.
//
// Every sum has a single accumulator running in index order, so a score does not depend on how
// the loop was compiled (no reassociation, no fused multiply-add). The sums over the observations
// alone are made once per observed series (ObservedSums); those over a simulated series run for
// kLanes members at a time, one accumulator each, which hides the latency of each addition behind
// the other members' without changing any member's order: a member has the same bits in any
// group, alone included.
#include "metrics/scores.hpp"

#include <array>
#include <cmath>
#include <limits>

namespace vesparil {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double squared_departure_from_one(double ratio) {
    const double departure = ratio - 1.0;
    return departure * departure;
}

// Σ term(s_k[i], o[i]) over i in index order, for each of K members k.
template <std::size_t K, class Term>
std::array<double, K> member_sums(const double* const* rows, const double* o, std::size_t len,
                                  Term term) {
    std::array<const double*, K> s{};
    for (std::size_t k = 0; k < K; ++k) s[k] = rows[k];
    std::array<double, K> sums{};
    for (std::size_t i = 0; i < len; ++i) {
        const double obs = o[i];
        for (std::size_t k = 0; k < K; ++k) sums[k] += term(s[k][i], obs);
    }
    return sums;
}

// The KGE and the correlation of K members, from Σ s, then Σ (s - m_s)(o - m_o) and
// Σ (s - m_s)² in one pass.
template <std::size_t K>
void kge_group(const ObservedSums& observed, KgeVariant variant, bool correlation_only,
               const double* const* rows, double* const* out) {
    const double* const o = observed.values.data();
    const std::size_t len = observed.values.size();
    const std::array<double, K> sums =
        member_sums<K>(rows, o, len, [](double s, double) { return s; });
    std::array<double, K> mean_sim{};
    for (std::size_t k = 0; k < K; ++k) mean_sim[k] = sums[k] / observed.n;
    std::array<const double*, K> s{};
    for (std::size_t k = 0; k < K; ++k) s[k] = rows[k];
    std::array<double, K> cross{};   // Σ (s - m_s)(o - m_o)
    std::array<double, K> sim_sq{};  // Σ (s - m_s)²
    for (std::size_t i = 0; i < len; ++i) {
        const double dobs = o[i] - observed.mean;
        for (std::size_t k = 0; k < K; ++k) {
            const double ds = s[k][i] - mean_sim[k];
            cross[k] += ds * dobs;
            sim_sq[k] += ds * ds;
        }
    }
    for (std::size_t k = 0; k < K; ++k) {
        // One square root of the product, so that a series against itself has r = 1 exactly
        // (sqrt(x * x) == x), where the product of two roots may miss it by an ulp.
        const double r = cross[k] / std::sqrt(sim_sq[k] * observed.spread_sq);
        if (correlation_only) {
            out[k][0] = r;
            continue;
        }
        const double std_sim = std::sqrt(sim_sq[k] / observed.n);
        const double std_obs = std::sqrt(observed.spread_sq / observed.n);
        const double beta = mean_sim[k] / observed.mean;
        double variability = 0.0;
        double distance = 0.0;
        if (variant == KgeVariant::gupta_2009) {
            variability = std_sim / std_obs;
            distance = std::sqrt(squared_departure_from_one(r) +
                                 squared_departure_from_one(variability) +
                                 squared_departure_from_one(beta));
        } else {
            variability = (std_sim / mean_sim[k]) / (std_obs / observed.mean);
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
void score_group(ScoreKind kind, const ScoreOptions& options, const ObservedSums& observed,
                 const double* const* rows, double* const* out) {
    const double* const o = observed.values.data();
    const std::size_t len = observed.values.size();
    if (len == 0) {
        for (std::size_t k = 0; k < K; ++k) {
            for (std::size_t j = 0; j < score_width(kind); ++j) out[k][j] = kNaN;
        }
        return;
    }
    const auto squared_error = [](double s, double obs) {
        const double error = s - obs;
        return error * error;
    };
    switch (kind) {
        case ScoreKind::nse: {
            const auto error_sq = member_sums<K>(rows, o, len, squared_error);
            for (std::size_t k = 0; k < K; ++k) *out[k] = 1.0 - error_sq[k] / observed.spread_sq;
            return;
        }
        case ScoreKind::log_nse: {
            // The observations were transformed once; each simulated value is on the way.
            const double epsilon = observed.epsilon;
            const auto error_sq = member_sums<K>(rows, o, len, [epsilon](double s, double log_obs) {
                const double error = std::log(s + epsilon) - log_obs;
                return error * error;
            });
            for (std::size_t k = 0; k < K; ++k) *out[k] = 1.0 - error_sq[k] / observed.spread_sq;
            return;
        }
        case ScoreKind::pbias: {
            const auto difference =
                member_sums<K>(rows, o, len, [](double s, double obs) { return s - obs; });
            for (std::size_t k = 0; k < K; ++k) *out[k] = 100.0 * difference[k] / observed.total;
            return;
        }
        case ScoreKind::rmse: {
            const auto error_sq = member_sums<K>(rows, o, len, squared_error);
            for (std::size_t k = 0; k < K; ++k) *out[k] = std::sqrt(error_sq[k] / observed.n);
            return;
        }
        case ScoreKind::mae: {
            const auto absolute = member_sums<K>(
                rows, o, len, [](double s, double obs) { return std::fabs(s - obs); });
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
    observed.total = sum(obs);
    observed.mean = observed.total / observed.n;
    if (kind == ScoreKind::log_nse) {
        observed.epsilon = options.epsilon ? *options.epsilon : observed.mean / 100.0;
        observed.transformed.reserve(obs.size());
        for (const double x : obs) observed.transformed.push_back(std::log(x + observed.epsilon));
        observed.values = observed.transformed;
        observed.mean = sum(observed.values) / observed.n;
    }
    observed.spread_sq = squared_spread(observed.values, observed.mean);
    return observed;
}

void score_rows(ScoreKind kind, const ScoreOptions& options, const ObservedSums& observed,
                std::span<const double* const> rows, std::span<double> out) {
    const std::size_t width = score_width(kind);
    std::size_t k = 0;
    for (; k + kLanes <= rows.size(); k += kLanes) {
        std::array<double*, kLanes> into{};
        for (std::size_t j = 0; j < kLanes; ++j) into[j] = out.data() + (k + j) * width;
        score_group<kLanes>(kind, options, observed, rows.data() + k, into.data());
    }
    for (; k < rows.size(); ++k) {
        double* into = out.data() + k * width;
        score_group<1>(kind, options, observed, rows.data() + k, &into);
    }
}

}  // namespace vesparil
