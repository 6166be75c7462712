// SCS dimensionless unit hydrograph (NRCS National Engineering Handbook 630 (NEH 630), chapter 16).
//
// Basin area in acres, lag and time step in seconds (hours in the equations), excess rainfall
// in inches per step, ordinates and discharge in cfs. In the order the code computes them:
//
//   D   = time step (h);  Tp = D / 2 + L                       time to peak
//   qp  = PRF * (A / 640) * Q / Tp,  Q = 1 in                  peak of the unit hydrograph (cfs)
//   r(x), x = t / Tp:  PRF = 484: the handbook's table 16-1 of q/qp, linear between its rows,
//                      0 from x = 5 on;
//                      other PRF: the gamma curve r = (x e^(1 - x))^m, whose area e^m G(m+1) /
//                      m^(m+1) (in units of Tp) is 645.33 / PRF, m found by bisection
//   U[j] = qp r((j + 1) D / Tp),  j = 0 .. N - 1               flow at the end of step j + 1
//   U[j] = U[j] * (A * 1.00833) / (sum U * D)                  every ordinate, so that 1 in of
//                                                              excess gives exactly 1 in of runoff
//   Q[i + j] += U[j] P[i]                                      convolution
//
// 645.33 = 640 * 1.00833 is the cfs per square mile per inch per hour of the module's rounded
// acre-inch conversion; 484 = 0.75 * 645.33. The tabulated curve holds 0.19 % more volume than
// 484 implies, and a sampled curve a little more or less again: the last step puts it right,
// which moves the peak by as much.
#pragma once

#include <cstdint>
#include <vector>

#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

struct ScsUnitHydrographParameters {
    double basin_area = 0.0;         // acres
    double lag_seconds = 0.0;        // L, excess centroid to peak
    double peak_rate_factor = 484.0;
};

// The ordinates for one inch of excess in one step of `time_step` seconds. Checks, in order:
// basin_area > 0, peak_rate_factor > 0 (ValueError messages).
Result<std::vector<double>> scs_unit_hydrograph(const ScsUnitHydrographParameters& parameters,
                                                std::int32_t time_step);

// Discharge of Z + N - 1 values for Z rainfall values and N ordinates.
Result<std::vector<double>> run_scs_uh(const std::vector<double>& rainfall,
                                       std::int32_t time_step,
                                       const ScsUnitHydrographParameters& parameters,
                                       InterruptCheck interrupt = {});

}  // namespace vesparil
