// Deficit-and-constant rainfall loss: the constant-rate (phi-index) infiltration loss
// (Chow, Maidment and Mays 1988, Applied Hydrology, chapter 5), preceded by a soil-moisture
// deficit that recovers exponentially between storms.
//
// Splits gross rainfall into excess (surface runoff) and infiltration loss. The soil holds a
// moisture deficit D (inches) that recovers towards its maximum M between storms and is filled by
// rain; on top of that a constant infiltration rate is always paid first. Rainfall, excess, loss
// and deficit are inches per time step; the constant rate is inches per hour; the drying time is
// in seconds. Per step of s seconds, with M the maximum deficit and T the drying time:
//
//   D = min(max(M - D, 0) * (1 - exp(-s / T)) + D, M)      recovery, before the step's rain
//   cl = min(P, rate * s / 3600)                            constant loss, paid first
//   fill = min(P - cl, D),  D = D - fill
//   excess = (P - cl) - fill,  loss = fill + cl
#pragma once

#include "utils/time_series.hpp"

namespace vesparil {

struct DeficitConstantResult {
    IncrementalTimeSeries excess;   // runoff-producing rain per step
    IncrementalTimeSeries loss;     // constant loss + deficit fill per step
    IncrementalTimeSeries deficit;  // deficit at the end of each step
};

// All three series have the rainfall's length and time step and the kind "rainfall". No argument
// is range-checked: negative or inconsistent values go through the arithmetic unchanged. A drying
// time of 0 (or less) switches the recovery off.
DeficitConstantResult run_deficit_and_constant(const IncrementalTimeSeries& rainfall,
                                               double initial_deficit, double max_deficit,
                                               double constant_loss_per_hr,
                                               double time_to_dry_seconds);

}  // namespace vesparil
