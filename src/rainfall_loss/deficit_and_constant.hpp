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

#include <cmath>
#include <cstdint>

#include "core/nan_minmax.hpp"
#include "core/units.hpp"
#include "utils/time_series.hpp"

namespace vesparil {

// The per-run constants and the step of the recurrence above, shared by the run below and by the
// basin's batch (which advances several members in turn): both make exactly these operations in
// this order, so their results agree to the last bit.
struct DeficitConstants {
    double recovery;       // 1 - exp(-s / T), or 0 without recovery
    double step_loss_cap;  // constant loss per step
    double max_deficit;
};

inline DeficitConstants deficit_constants(std::int32_t time_step, double max_deficit,
                                          double constant_loss_per_hr,
                                          double time_to_dry_seconds) {
    const double dt_h = static_cast<double>(time_step) / kSecondsPerHour;
    // Written as dt_h over a negative drying time in hours, i.e. exp(-s / T).
    const double recovery = time_to_dry_seconds > 0.0
                                ? 1.0 - std::exp(dt_h / (time_to_dry_seconds / -kSecondsPerHour))
                                : 0.0;
    return {recovery, constant_loss_per_hr * dt_h, max_deficit};
}

// One step of rain p: updates the deficit d and gives the step's excess and loss.
inline void deficit_step(const DeficitConstants& k, double p, double& d, double& excess,
                         double& loss) {
    // The soil dries before this step's rain arrives, the first step included.
    const double room = nan_max(k.max_deficit - d, 0.0);
    d = nan_min(room * k.recovery + d, k.max_deficit);
    excess = 0.0;
    loss = 0.0;
    if (p > 0.0) {
        const double constant_loss = nan_min(p, k.step_loss_cap);
        const double remaining = p - constant_loss;
        const double fill = nan_min(remaining, d);
        d = d - fill;
        excess = remaining - fill;
        loss = fill + constant_loss;
    }
}

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
