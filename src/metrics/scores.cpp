// Goodness-of-fit scores; see the header for the sources and the equations.
//
// Every sum has a single accumulator running in index order, so a score does not depend on how
// the loop was compiled (no reassociation, no fused multiply-add) nor on whether the series was
// scored alone or as a member of an ensemble.
#include "metrics/scores.hpp"

#include <cmath>
#include <limits>
#include <vector>

namespace vesparil {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double squared_departure_from_one(double ratio) {
    const double departure = ratio - 1.0;
    return departure * departure;
}

double nash_sutcliffe(const double* s, const double* o, std::size_t len) {
    const double n = static_cast<double>(len);
    double sum_obs = 0.0;
    for (std::size_t i = 0; i < len; ++i) sum_obs += o[i];
    const double mean_obs = sum_obs / n;
    double error_sq = 0.0;   // Σ (s - o)²
    double spread_sq = 0.0;  // Σ (o - m_o)²
    for (std::size_t i = 0; i < len; ++i) {
        const double error = s[i] - o[i];
        const double spread = o[i] - mean_obs;
        error_sq += error * error;
        spread_sq += spread * spread;
    }
    return 1.0 - error_sq / spread_sq;
}

// The observations are transformed once into a buffer: they are read twice, for their mean and
// in the sums. The simulation is read once and transformed on the way.
double log_nash_sutcliffe(const double* s, const double* o, std::size_t len,
                          std::optional<double> given_epsilon) {
    const double n = static_cast<double>(len);
    double epsilon = 0.0;
    if (given_epsilon) {
        epsilon = *given_epsilon;
    } else {
        double sum_obs = 0.0;
        for (std::size_t i = 0; i < len; ++i) sum_obs += o[i];
        epsilon = (sum_obs / n) / 100.0;
    }
    std::vector<double> log_obs(len);
    double sum_log_obs = 0.0;
    for (std::size_t i = 0; i < len; ++i) {
        log_obs[i] = std::log(o[i] + epsilon);
        sum_log_obs += log_obs[i];
    }
    const double mean_log_obs = sum_log_obs / n;
    double error_sq = 0.0;
    double spread_sq = 0.0;
    for (std::size_t i = 0; i < len; ++i) {
        const double error = std::log(s[i] + epsilon) - log_obs[i];
        const double spread = log_obs[i] - mean_log_obs;
        error_sq += error * error;
        spread_sq += spread * spread;
    }
    return 1.0 - error_sq / spread_sq;
}

// The moments that the correlation and the KGE share.
struct Moments {
    double mean_sim;
    double mean_obs;
    double cross;   // Σ (s - m_s)(o - m_o)
    double sim_sq;  // Σ (s - m_s)²
    double obs_sq;  // Σ (o - m_o)²
};

Moments moments(const double* s, const double* o, std::size_t len) {
    const double n = static_cast<double>(len);
    double sum_sim = 0.0;
    double sum_obs = 0.0;
    for (std::size_t i = 0; i < len; ++i) {
        sum_sim += s[i];
        sum_obs += o[i];
    }
    Moments m{sum_sim / n, sum_obs / n, 0.0, 0.0, 0.0};
    for (std::size_t i = 0; i < len; ++i) {
        const double ds = s[i] - m.mean_sim;
        const double dobs = o[i] - m.mean_obs;
        m.cross += ds * dobs;
        m.sim_sq += ds * ds;
        m.obs_sq += dobs * dobs;
    }
    return m;
}

// One square root of the product, so that a series against itself has r = 1 exactly
// (sqrt(x * x) == x), where the product of two roots may miss it by an ulp.
double correlation(const Moments& m) { return m.cross / std::sqrt(m.sim_sq * m.obs_sq); }

KgeComponents kling_gupta(const double* s, const double* o, std::size_t len, KgeVariant variant) {
    const double n = static_cast<double>(len);
    const Moments m = moments(s, o, len);
    const double r = correlation(m);
    const double std_sim = std::sqrt(m.sim_sq / n);
    const double std_obs = std::sqrt(m.obs_sq / n);
    const double beta = m.mean_sim / m.mean_obs;
    if (variant == KgeVariant::gupta_2009) {
        const double alpha = std_sim / std_obs;
        const double distance = std::sqrt(squared_departure_from_one(r) +
                                          squared_departure_from_one(alpha) +
                                          squared_departure_from_one(beta));
        return {1.0 - distance, r, alpha, beta};
    }
    const double gamma = (std_sim / m.mean_sim) / (std_obs / m.mean_obs);
    const double distance = std::sqrt(squared_departure_from_one(r) +
                                      squared_departure_from_one(beta) +
                                      squared_departure_from_one(gamma));
    return {1.0 - distance, r, gamma, beta};
}

double percent_bias(const double* s, const double* o, std::size_t len) {
    double difference = 0.0;  // Σ (s - o)
    double total_obs = 0.0;   // Σ o
    for (std::size_t i = 0; i < len; ++i) {
        difference += s[i] - o[i];
        total_obs += o[i];
    }
    return 100.0 * difference / total_obs;
}

double root_mean_square_error(const double* s, const double* o, std::size_t len) {
    double error_sq = 0.0;
    for (std::size_t i = 0; i < len; ++i) {
        const double error = s[i] - o[i];
        error_sq += error * error;
    }
    return std::sqrt(error_sq / static_cast<double>(len));
}

double mean_absolute_error(const double* s, const double* o, std::size_t len) {
    double absolute = 0.0;
    for (std::size_t i = 0; i < len; ++i) absolute += std::fabs(s[i] - o[i]);
    return absolute / static_cast<double>(len);
}

}  // namespace

void score_pairs(ScoreKind kind, const ScoreOptions& options, std::span<const double> sim,
                 std::span<const double> obs, double* out) {
    const std::size_t len = obs.size();
    if (len == 0) {
        for (std::size_t k = 0; k < score_width(kind); ++k) out[k] = kNaN;
        return;
    }
    const double* const s = sim.data();
    const double* const o = obs.data();
    switch (kind) {
        case ScoreKind::nse:
            *out = nash_sutcliffe(s, o, len);
            return;
        case ScoreKind::log_nse:
            *out = log_nash_sutcliffe(s, o, len, options.epsilon);
            return;
        case ScoreKind::kge_components: {
            const KgeComponents c = kling_gupta(s, o, len, options.variant);
            out[0] = c.kge;
            out[1] = c.r;
            out[2] = c.variability;
            out[3] = c.bias;
            return;
        }
        case ScoreKind::pbias:
            *out = percent_bias(s, o, len);
            return;
        case ScoreKind::rmse:
            *out = root_mean_square_error(s, o, len);
            return;
        case ScoreKind::mae:
            *out = mean_absolute_error(s, o, len);
            return;
        case ScoreKind::pearson_r:
            *out = correlation(moments(s, o, len));
            return;
    }
}

}  // namespace vesparil
