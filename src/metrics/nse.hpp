// Nash-Sutcliffe efficiency of a simulated against an observed series (Nash and Sutcliffe 1970).
//
//     NSE = 1 - sum((s - o)^2) / sum((o - mean_o)^2)
//
// Both sums run over the values in order, each square formed as a product; mean_o = sum(o) / n.
// Dimensionless; 1 is a perfect fit, 0 no better than the observed mean.
#pragma once

#include <span>

#include "core/result.hpp"

namespace vesparil {

// Fails when obs is empty, then when the lengths differ ("Observed series is empty.", "Series
// length mismatch.", as for KGE). A constant observed series divides by zero (-inf or NaN).
Result<double> calculate_nse(std::span<const double> sim, std::span<const double> obs);

}  // namespace vesparil
