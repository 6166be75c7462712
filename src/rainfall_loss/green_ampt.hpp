// Green-Ampt infiltration under a rainfall hyetograph (Green and Ampt 1911; Chow, Maidment and
// Mays 1988, Applied Hydrology, sections 4.3 and 4.4).
//
// Rainfall, excess and loss in inches per step; hydraulic conductivity K in in/h; wetting-front
// suction head psi in inches; moisture deficit dtheta = (1 - s_e) theta_e dimensionless; the
// step dt in hours; F the cumulative infiltration (in). With p = psi dtheta, per step of rain
// intensity i = P / dt, in the order the code computes them (Chow fig. 4.4.3):
//
//   f  = K (p / F + 1)                                   rate at the step's start (eq. 4.3.7);
//                                                        F = 0 is an unbounded rate
//   ponded from the start (f <= i):   F' solves  F' - F - p ln((F' + p) / (F + p)) = K dt
//   otherwise, trial F' = F + i dt and f' = K (p / F' + 1):
//     f' > i (or i <= K): no ponding, F' stands
//     else ponding within the step: Fp = K p / (i - K) (eq. 4.4.2), dt' = (Fp - F) / i, and F'
//          solves the equation above from Fp over dt - dt'
//   loss = F' - F;  excess = P - loss
//
// The implicit equation (eq. 4.3.8 between two times) is solved by Newton's method from
// F + K dt, g'(F') = F' / (F' + p), until a correction is at most 1e-10 in (at most 100
// iterations). Ponded water beyond the infiltration runs off at once: nothing is stored on the
// surface from one step to the next.
#pragma once

#include "core/interrupt.hpp"
#include "core/result.hpp"
#include "utils/time_series.hpp"

namespace vesparil {

struct GreenAmptParameters {
    double hydraulic_conductivity = 0.0;  // K, in/h
    double suction_head = 0.0;            // psi, in
    double moisture_deficit = 0.0;        // dtheta
    double initial_infiltration = 0.0;    // F at the start, in
};

struct GreenAmptState {
    double infiltration = 0.0;  // F, in
};

struct GreenAmptResult {
    IncrementalTimeSeries excess;
    IncrementalTimeSeries loss;
};

// Checks, in order: K > 0, psi >= 0, 0 <= dtheta <= 1, F0 >= 0 (ValueError messages).
Result<void> check_green_ampt(const GreenAmptParameters& parameters);

// A step with rain (rain > 0) of advance_green_ampt.
double advance_wet_green_ampt(const GreenAmptParameters& parameters, GreenAmptState& state,
                              double rain, double hours);

// One step of `rain` inches over `hours`: returns the step's loss and advances `state`. A dry
// step (no rain) loses nothing and leaves the state alone; it is decided here, inline, because
// most steps of a storm record are dry. A NaN rain is no dry step: it makes the loss and F NaN,
// and F stays NaN, which is how run_green_ampt finds it without a test per step.
inline double advance_green_ampt(const GreenAmptParameters& parameters, GreenAmptState& state,
                                 double rain, double hours) {
    if (rain <= 0.0) return 0.0;
    return advance_wet_green_ampt(parameters, state, rain, hours);
}

// Checks the parameters before any step; a NaN rain refuses the call ("rainfall has a missing
// value (NaN) at index 1" for the first), whatever was computed before it dropped.
Result<GreenAmptResult> run_green_ampt(const IncrementalTimeSeries& rainfall,
                                       const GreenAmptParameters& parameters,
                                       InterruptCheck interrupt = {});

}  // namespace vesparil
