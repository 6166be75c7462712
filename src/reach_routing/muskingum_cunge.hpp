// Muskingum-Cunge channel routing with variable parameters from the channel's geometry (Cunge
// 1969; Ponce and Yevjevich 1978; Ponce 1989, Engineering Hydrology, section 9.4).
//
// Flows in cfs, lengths and depths in ft, slope in ft/ft, Manning's n in s/ft^(1/3) with the
// customary 1.49, side slope z horizontal to 1 vertical, times in seconds. In the order the code
// computes them, for a trapezoidal section (z = 0: rectangular) at a discharge Q:
//
//   normal depth y:  Q = (1.49 / n) A R^(2/3) S0^(1/2),  A = (b + z y) y,
//                    P = b + 2 y (1 + z^2)^(1/2),  R = A / P, solved by Newton's method kept
//                    inside a bracket
//   T = b + 2 z y;  dQ/dy = Q (5/3 T / A - 2/3 (2 (1 + z^2)^(1/2)) / P)
//   c = (dQ/dy) / T  (kinematic wave celerity);  q = Q / T  (discharge per unit width)
//   per sub-reach dx and sub-step dt:  K = dx / c,  X = (1 - q / (S0 c dx)) / 2
//
// The reference discharge is the given one (constant parameters) or, per sub-reach and
// sub-step, the average of the three known flows (I_n + I_n+1 + O_n) / 3 (Ponce and Yevjevich's
// three-point scheme); it is never taken below 0.1 % of the inflow's peak. The step is written
// in storage form,
//
//   O_n+1 = (S_n + (dt/2)(I_n + I_n+1 - O_n) - K X I_n+1) / (K (1 - X) + dt/2)
//   S_n+1 = S_n + (dt/2)(I_n + I_n+1 - O_n - O_n+1),
//
// which with K and X fixed is the Muskingum step with C0 = (-1 + C + D) / (1 + C + D),
// C1 = (1 + C - D) / (1 + C + D), C2 = (1 - C + D) / (1 + C + D), C = c dt / dx,
// D = q / (S0 c dx), and which keeps the volume when K and X change from step to step (the
// coefficient form does not). Sub-steps and sub-reaches, unless given: with c_p the celerity
// at the inflow's peak, sub-steps m = ceil(c_p dt / L) (1 unless the wave crosses the whole
// reach in one step), then sub-reaches N = max(1, floor(L / (c_p dt / m))), so that
// 1/2 < C <= 1 at the peak; each at most 1000. The outflow is recorded at the inflow's steps:
// with sub-steps, its samples' trapezoid differs from the routed volume by the sampling.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

struct ChannelSection {
    double length = 0.0;        // ft
    double slope = 0.0;         // ft/ft
    double manning_n = 0.0;
    double bottom_width = 0.0;  // ft
    double side_slope = 0.0;    // z, horizontal per vertical
};

struct MuskingumCungeParameters {
    ChannelSection channel;
    std::optional<double> reference_flow;  // cfs: constant parameters at this flow
    std::optional<std::int64_t> sub_reaches;
    std::optional<std::int64_t> sub_steps;
};

// Celerity (ft/s) and discharge per unit width (ft2/s) at normal depth for `flow` > 0.
struct SectionHydraulics {
    double celerity = 0.0;
    double unit_flow = 0.0;
};
SectionHydraulics section_hydraulics(const ChannelSection& channel, double flow);

// Checks the parameters (ValueError messages), then routes; the outflow has the inflow's length
// and starts at its first value (a steady reach). `interrupt` is asked every kInterruptInterval
// / 64 cell updates.
Result<std::vector<double>> route_muskingum_cunge(const std::vector<double>& inflow, double dt,
                                                  const MuskingumCungeParameters& parameters,
                                                  InterruptCheck interrupt = {});

}  // namespace vesparil
