// Kling-Gupta efficiency (Gupta et al. 2009); see the header for the formula.
//
// Every sum runs in index order from 0.0 with a single accumulator: the score must not depend on
// how the loop was compiled, so the passes are kept sequential rather than reassociated.
#include "metrics/kge.hpp"

#include <vector>

#include <cmath>
#include <cstddef>

namespace vesparil {

namespace {

// Log offset, and the floor of the three divisors that vanish for degenerate series.
constexpr double kEpsilon = 1e-6;

std::vector<double> log_transform(std::span<const double> values) {
    std::vector<double> transformed;
    transformed.reserve(values.size());
    for (const double x : values) transformed.push_back(std::log(x + kEpsilon));
    return transformed;
}

double squared_departure_from_one(double ratio) {
    const double departure = ratio - 1.0;
    return departure * departure;
}

}  // namespace

Result<double> calculate_kge(std::span<const double> sim, std::span<const double> obs,
                             bool use_log) {
    if (obs.empty()) return Error::value("Observed series is empty.");
    if (sim.size() != obs.size()) return Error::value("Series length mismatch.");

    if (use_log) {
        const std::vector<double> log_sim = log_transform(sim);
        const std::vector<double> log_obs = log_transform(obs);
        return calculate_kge(log_sim, log_obs, false);
    }

    const std::size_t len = obs.size();
    const double n = static_cast<double>(len);
    const double* const s = sim.data();
    const double* const o = obs.data();

    // Two independent accumulators in one loop; each still adds its own values in index order.
    double sum_sim = 0.0;
    double sum_obs = 0.0;
    for (std::size_t i = 0; i < len; ++i) {
        sum_sim += s[i];
        sum_obs += o[i];
    }
    const double mean_sim = sum_sim / n;
    const double mean_obs = sum_obs / n;

    double cross = 0.0;   // sum of (sim - mean_sim) * (obs - mean_obs)
    double sim_sq = 0.0;  // sum of (sim - mean_sim)^2
    double obs_sq = 0.0;  // sum of (obs - mean_obs)^2
    for (std::size_t i = 0; i < len; ++i) {
        const double ds = s[i] - mean_sim;
        const double dobs = o[i] - mean_obs;
        cross += ds * dobs;
        sim_sq += ds * ds;
        obs_sq += dobs * dobs;
    }

    // A flat series has no defined correlation; it is scored as r = 0.
    const double corr_denominator = std::sqrt(obs_sq * sim_sq);
    const double r = cross / corr_denominator;
    const double corr_term = corr_denominator < kEpsilon ? 1.0 : squared_departure_from_one(r);

    const double bias_divisor = std::fabs(mean_obs) < kEpsilon ? kEpsilon : mean_obs;
    const double beta = mean_sim / bias_divisor;
    const double bias_term = squared_departure_from_one(beta);

    const double std_obs = std::sqrt(obs_sq / n);
    const double std_sim = std::sqrt(sim_sq / n);
    const double variability_divisor = std_obs < kEpsilon ? kEpsilon : std_obs;
    const double gamma = std_sim / variability_divisor;
    const double variability_term = squared_departure_from_one(gamma);

    return 1.0 - std::sqrt((bias_term + corr_term) + variability_term);
}

}  // namespace vesparil
