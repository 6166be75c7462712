// Deficit-and-constant rainfall loss, one explicit pass over the rainfall.
//
// Per step of s seconds (dt_h = s / 3600 hours), with drying time T seconds:
//   recovery   f = 1 - exp(-s / T)                      (f = 0 when T = 0: no recovery)
//              D = min(max(M - D, 0) * f + D, M)         before the step's rain
//   rain P > 0 cl = min(P, c), c = rate * dt_h           constant loss is paid first
//              fill = min(P - cl, D), D -= fill
//              excess = P - cl - fill, loss = fill + cl
// so that excess + loss = P up to rounding. The expressions below keep exactly this order of
// floating-point operations, because results are compared to the last bit.
#include "rainfall_loss/deficit_and_constant.hpp"

#include <cmath>
#include <cstddef>
#include <string>
#include <utility>

#include "core/large_vector.hpp"
#include "core/nan_minmax.hpp"
#include "core/units.hpp"

namespace vesparil {

namespace {

IncrementalTimeSeries rainfall_series(std::vector<double> values, std::int32_t time_step) {
    return IncrementalTimeSeries{std::move(values), std::string(kKindRainfall), time_step};
}

}  // namespace

DeficitConstantResult run_deficit_and_constant(const IncrementalTimeSeries& rainfall,
                                               double initial_deficit, double max_deficit,
                                               double constant_loss_per_hr,
                                               double time_to_dry_seconds) {
    const DeficitConstants constants = deficit_constants(
        rainfall.time_step, max_deficit, constant_loss_per_hr, time_to_dry_seconds);

    const std::size_t n = rainfall.data.size();
    // Reserved, not sized, so that they are never zero-filled.
    std::vector<double> excess;
    std::vector<double> loss;
    std::vector<double> deficit;
    reserve_large(excess, n);
    reserve_large(loss, n);
    reserve_large(deficit, n);

    const double* const rain = rainfall.data.data();
    double d = initial_deficit;
    for (std::size_t i = 0; i < n; ++i) {
        double step_excess = 0.0;
        double step_loss = 0.0;
        deficit_step(constants, rain[i], d, step_excess, step_loss);

        append_reserved(excess, step_excess);
        append_reserved(loss, step_loss);
        append_reserved(deficit, d);
    }

    return DeficitConstantResult{rainfall_series(std::move(excess), rainfall.time_step),
                                 rainfall_series(std::move(loss), rainfall.time_step),
                                 rainfall_series(std::move(deficit), rainfall.time_step)};
}

}  // namespace vesparil
