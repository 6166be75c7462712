// Muskingum channel routing (McCarthy 1938).
//
// Flows in any consistent unit (outflow in the inflow's unit); dt and K in seconds; x is the
// dimensionless weighting factor between inflow- and outflow-dominated storage.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

// Routes I[0..n-1] through one reach of storage constant k:
//   O[0] = initial_outflow, or I[0] when absent
//   O[i] = C2 O[i-1] + (C0 I[i] + C1 I[i-1])
// The vector is taken over and the outflow is returned in the same buffer. No value is clamped
// and no stability condition is tested. An empty inflow is an internal error. `interrupt` is
// asked every kInterruptInterval values.
Result<std::vector<double>> muskingum_routing_rs(std::vector<double> inflow, double dt, double k,
                                                 double x, std::optional<double> initial_outflow,
                                                 InterruptCheck interrupt = {});

// Routes through `sub_reaches` equal segments of K = k_reach_seconds / sub_reaches, one after
// another. The first segment starts from `initial_outflow`, later ones from their own first
// inflow (which equals it). Fewer than two sub-reaches (zero and negative included) route one
// segment; sub_reaches is not range-checked.
Result<std::vector<double>> route_reach(std::vector<double> inflow, double dt,
                                        double k_reach_seconds, double x, std::int64_t sub_reaches,
                                        double initial_outflow, InterruptCheck interrupt = {});

// Whether x lies in the physically meaningful range [0.0, 0.5]; NaN does not.
bool weighting_factor_in_range(double x);

}  // namespace vesparil
