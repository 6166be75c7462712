// SCS curve-number rainfall loss (NRCS National Engineering Handbook 630 (NEH 630), chapter 10;
// Chow, Maidment and Mays 1988, Applied Hydrology, section 5.5).
//
// Rainfall, excess and loss in inches per time step; cumulative depths, the potential maximum
// retention S and the initial abstraction Ia in inches; the curve number CN is dimensionless
// (0 < CN <= 100) and stated for one antecedent moisture condition (AMC I dry, II average,
// III wet). In the order the code computes them:
//
//   CN  = 4.2 CN_II / (10 - 0.058 CN_II)         AMC I    (Chow eq. 5.5.9)
//   CN  = 23 CN_II / (10 + 0.13 CN_II)           AMC III  (Chow eq. 5.5.10)
//   S   = 1000 / CN - 10                         (NEH 630 eq. 10-12)
//   Ia  = lambda S                               lambda = 0.2 by custom (eq. 10-10)
//   per step, P the cumulative rainfall at its end:
//   Pe  = (P - Ia)^2 / ((P - Ia) + S)  when P > Ia, else 0      (eq. 10-9)
//   excess = Pe - (excess so far), kept within [0, the step's rain];  loss = rain - excess
#pragma once

#include <cstdint>

#include "core/interrupt.hpp"
#include "core/result.hpp"
#include "utils/time_series.hpp"

namespace vesparil {

struct CurveNumberParameters {
    double curve_number = 0.0;               // for the condition below
    double initial_abstraction_ratio = 0.2;  // lambda
    std::int64_t antecedent_moisture = 2;    // 1, 2 or 3: the condition the run is made for
};

// What the method needs from the parameters: S and Ia, inches.
struct CurveNumberRetention {
    double maximum_retention = 0.0;
    double initial_abstraction = 0.0;
};

// Carried from step to step: cumulative rainfall and the excess given so far, inches.
struct CurveNumberState {
    double rainfall = 0.0;
    double excess = 0.0;
};

struct CurveNumberResult {
    IncrementalTimeSeries excess;  // runoff-producing rain per step
    IncrementalTimeSeries loss;    // initial abstraction and continuing loss per step
};

// Checks, in order: 0 < CN <= 100, lambda >= 0, condition 1, 2 or 3 (ValueError messages).
Result<CurveNumberRetention> curve_number_retention(const CurveNumberParameters& parameters);

// One step of `rain` inches: returns the step's excess and advances `state`.
double advance_curve_number(const CurveNumberRetention& retention, CurveNumberState& state,
                            double rain);

// Both series have the rainfall's length and step and the kind "rainfall". Checks the
// parameters before any step; a NaN rain refuses the call ("rainfall has a missing value (NaN)
// at index 1" for the first), whatever was computed before it dropped. The rainfall is not
// range-checked otherwise. `interrupt` is asked every kInterruptInterval steps.
Result<CurveNumberResult> run_curve_number(const IncrementalTimeSeries& rainfall,
                                           const CurveNumberParameters& parameters,
                                           InterruptCheck interrupt = {});

}  // namespace vesparil
