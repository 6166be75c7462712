// Clark unit hydrograph (Clark 1945).
//
// Translation: the dimensionless time-area curve of a basin with time of concentration tc,
//   A(t) = 1.414 t^1.5               for t = time / tc < 0.5
//   A(t) = 1 - 1.414 (1 - t)^1.5     for 0.5 <= t <= 1,
// gives the share of the basin contributing by each step end; one inch of excess over the basin
// delivered during a step of dt_h hours is
//   T[i-1] = (A(i dt / tc) - A((i-1) dt / tc)) * area * 1.00833 / dt_h     (cfs, i = 1..N)
// where 1.00833 cfs per acre-inch per hour is the customary rounded conversion factor.
// Storage: the ordinates go through a linear reservoir of storage coefficient R, which is the
// Muskingum step with x = 0 and a zero initial outflow; the recession after the N-th ordinate is
// not added. Convolution (rainfall_transform/convolution): Q[i + j] += U[j] * P[i], each Q
// element receiving its terms in ascending i so that the sums are reproducible to the last bit.
#include "rainfall_transform/clark_uh.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "core/nan_minmax.hpp"
#include "core/units.hpp"
#include "rainfall_transform/convolution.hpp"
#include "reach_routing/muskingum.hpp"

namespace vesparil {

namespace {

constexpr double kTimeAreaCoefficient = 1.414;
constexpr double kTimeAreaExponent = 1.5;
constexpr double kBranchPoint = 0.5;

// The largest number of doubles one allocation can hold (its size in bytes must fit ptrdiff_t).
constexpr std::size_t kMaxDoubles =
    static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(double);

// ceil(ratio) as a count: NaN and non-positive values give 0, values beyond the size type
// saturate (and are then refused as a capacity overflow).
std::size_t ordinate_count(double ratio) {
    const double count = std::ceil(ratio);
    if (!(count > 0.0)) return 0;
    if (count >= static_cast<double>(std::numeric_limits<std::size_t>::max())) {
        return std::numeric_limits<std::size_t>::max();
    }
    return static_cast<std::size_t>(count);
}

double time_area_fraction(double t) {
    if (t < kBranchPoint) return std::pow(t, kTimeAreaExponent) * kTimeAreaCoefficient;
    return std::pow(1.0 - t, kTimeAreaExponent) * -kTimeAreaCoefficient + 1.0;
}

// Empty when the caller asked to stop.
std::optional<std::vector<double>> translation_ordinates(std::size_t count, double dt,
                                                         double tc_seconds, double basin_area,
                                                         InterruptCounter& counter) {
    // Grown value by value rather than zero-filled first, so the pages are first written inside
    // the interruptible loop.
    std::vector<double> ordinates;
    ordinates.reserve(count);
    const double step_hours = dt / kSecondsPerHour;
    double previous_fraction = 0.0;
    for (std::size_t i = 1; i <= count; ++i) {
        const double t = nan_min((static_cast<double>(i) * dt) / tc_seconds, 1.0);
        const double fraction = time_area_fraction(t);
        ordinates.push_back(((fraction - previous_fraction) * basin_area * kCfsPerAcreInchPerHour) /
                            step_hours);
        previous_fraction = fraction;
        if (counter.stop_requested_after(1)) return std::nullopt;
    }
    return ordinates;
}

}  // namespace

Result<std::vector<double>> clark_uh_rs(const std::vector<double>& rainfall, std::int32_t time_step,
                                        double basin_area, double tc_seconds,
                                        double storage_seconds, InterruptCheck interrupt) {
    const std::size_t z = rainfall.size();
    if (!(time_step > 0 && tc_seconds > 0.0)) return std::vector<double>(z, 0.0);
    const double dt = static_cast<double>(time_step);

    const std::size_t n = ordinate_count(tc_seconds / dt);
    // z <= kMaxDoubles because the rainfall vector exists, so z + (n - 1) cannot wrap here. With
    // n = 0 (a quotient that underflows) the storage step below reports the empty input.
    if (n > kMaxDoubles || (n > 0 && z + (n - 1) > kMaxDoubles)) {
        return Error::internal("capacity overflow");
    }

    InterruptCounter counter(interrupt);
    auto translation = translation_ordinates(n, dt, tc_seconds, basin_area, counter);
    if (!translation) return Error::interrupted();
    Result<std::vector<double>> unit =
        muskingum_routing_rs(std::move(*translation), dt, storage_seconds, 0.0, 0.0, interrupt);
    if (!unit) return std::move(unit).error();
    return convolve_excess(rainfall, unit.value(), interrupt);
}

}  // namespace vesparil
