// Snyder's synthetic unit hydrograph (Snyder 1938; Chow, Maidment and Mays 1988, Applied
// Hydrology, section 7.7), in English units.
//
// Basin area A in acres (A / 640 square miles in the equations), main stream length L and
// length to the basin centroid Lc in miles, the time step tR in hours, excess in inches per step,
// ordinates and discharge in cfs; Ct and Cp dimensionless. In the order the code computes them:
//
//   tp  = 1.0 Ct (L Lc)^0.3                basin lag (h)                      (Chow eq. 7.7.1)
//   tr  = tp / 5.5                         its standard duration              (eq. 7.7.2)
//   tpR = tp - (tr - tR) / 4               lag for the step's duration        (eq. 7.7.4)
//   qpR = 640 Cp / tpR                     peak, cfs per square mile per inch (eq. 7.7.5)
//   tb  = 1290 / qpR                       time base (h)                      (eq. 7.7.6)
//   W75 = 440 qpR^-1.08,  W50 = 770 qpR^-1.08   widths at 75 % and 50 % of the peak (eq. 7.7.8)
//   Tp  = tR / 2 + tpR                     peak time from the start of the excess
//   the hydrograph through (0, 0), (Tp - W50/3, qp/2), (Tp - W75/3, 3qp/4), (Tp, qp),
//   (Tp + 2 W75/3, 3qp/4), (Tp + 2 W50/3, qp/2), (tb, 0), qp = qpR A / 640, linear between
//   them (a point out of time order is left out), sampled at the step ends:
//   U[j] = q((j + 1) tR), then every ordinate scaled by (A 1.00833) / (sum U tR) so that one
//   inch of excess gives exactly one inch of runoff (the sketch rarely holds exactly one inch:
//   the scaling moves the peak by as much);  Q[i + j] += U[j] P[i].
#pragma once

#include <cstdint>
#include <vector>

#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

struct SnyderParameters {
    double basin_area = 0.0;       // acres
    double ct = 0.0;               // lag coefficient
    double cp = 0.0;               // peaking coefficient
    double stream_length = 0.0;    // L, miles
    double centroid_length = 0.0;  // Lc, miles
};

// Checks, in order: basin_area, ct, cp, stream_length, centroid_length > 0 (ValueError).
Result<std::vector<double>> snyder_unit_hydrograph(const SnyderParameters& parameters,
                                                   std::int32_t time_step);

Result<std::vector<double>> run_snyder_uh(const std::vector<double>& rainfall,
                                          std::int32_t time_step,
                                          const SnyderParameters& parameters,
                                          InterruptCheck interrupt = {});

}  // namespace vesparil
