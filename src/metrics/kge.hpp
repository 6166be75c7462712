// Kling-Gupta efficiency of a simulated against an observed series (Gupta et al. 2009).
//
//     KGE = 1 - sqrt((beta - 1)^2 + (r - 1)^2 + (gamma - 1)^2)
//
// r is the Pearson correlation, beta = mean_sim / mean_obs the bias ratio and
// gamma = std_sim / std_obs the variability ratio (population standard deviations). The terms are
// added in the order bias, correlation, variability. Dimensionless; the series share any unit.
#pragma once

#include <span>

#include "core/result.hpp"

namespace vesparil {

// Fails when obs is empty, then when the lengths differ. With use_log both series are first
// mapped to ln(x + 1e-6), which weights low flows more. Degenerate series never fail: near-zero
// divisors are floored at 1e-6 and non-finite values flow through to the result.
Result<double> calculate_kge(std::span<const double> sim, std::span<const double> obs,
                             bool use_log);

}  // namespace vesparil
