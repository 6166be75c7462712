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
//   tb  = 1290 / qpR                       time base (h), the "triangle" rule  (eq. 7.7.6):
//                                          the base of a triangle of peak qpR holding one inch
//   W75 = 440 qpR^-1.08,  W50 = 770 qpR^-1.08   widths at 75 % and 50 % of the peak (eq. 7.7.8)
//   Tp  = tR / 2 + tpR                     peak time from the start of the excess
//   tb  = 4 Tp                             instead, the "small_watershed" rule, a time base of
//                                          four peak times often used for small basins
//   the hydrograph through (0, 0), (Tp - W50/3, qp/2), (Tp - W75/3, 3qp/4), (Tp, qp),
//   (Tp + 2 W75/3, 3qp/4), (Tp + 2 W50/3, qp/2), (tb, 0), qp = qpR A / 640, linear between
//   them (a point out of time order is left out), sampled at the step ends:
//   U[j] = q((j + 1) tR), then every ordinate scaled by (A 1.00833) / (sum U tR) so that one
//   inch of excess gives exactly one inch of runoff (the sketch rarely holds exactly one inch:
//   the scaling moves the peak by as much);  Q[i + j] += U[j] P[i].
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
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

// The rule that ends the sketch.
enum class SnyderTimeBase {
    triangle,         // tb = 1290 / qpR
    small_watershed,  // tb = 4 Tp
};

// "triangle" or "small_watershed"; any other word is the ValueError that lists them.
Result<SnyderTimeBase> snyder_time_base(std::string_view word);

// The synthetic hydrograph for one duration, before any scaling: hours, and cfs for A acres.
struct SnyderHydrograph {
    double lag = 0.0;                // tp
    double standard_duration = 0.0;  // tr
    double duration = 0.0;           // tR
    double adjusted_lag = 0.0;       // tpR
    double peak_rate = 0.0;          // qpR, cfs per square mile per inch
    double peak_time = 0.0;          // Tp
    double peak_discharge = 0.0;     // qp
    double w50 = 0.0;
    double w75 = 0.0;
    double time_base = 0.0;          // tb
    // (hours, cfs) from (0, 0) to (tb, 0), each point later than the one before it
    std::vector<std::pair<double, double>> sketch;
};

// The hydrograph for a duration tR of `duration_hours`, or for the standard duration tr when it
// is absent (then tpR = tp). Checks, in order: basin_area, ct, cp, stream_length,
// centroid_length > 0 and finite, then the duration > 0 and finite (ValueError).
Result<SnyderHydrograph> snyder_hydrograph(const SnyderParameters& parameters,
                                           std::optional<double> duration_hours,
                                           SnyderTimeBase time_base);

// The ordinates for one inch of excess in one step of `time_step` seconds (tR), scaled.
Result<std::vector<double>> snyder_unit_hydrograph(
    const SnyderParameters& parameters, std::int32_t time_step,
    SnyderTimeBase time_base = SnyderTimeBase::triangle);

Result<std::vector<double>> run_snyder_uh(const std::vector<double>& rainfall,
                                          std::int32_t time_step,
                                          const SnyderParameters& parameters,
                                          InterruptCheck interrupt = {},
                                          SnyderTimeBase time_base = SnyderTimeBase::triangle);

}  // namespace vesparil
