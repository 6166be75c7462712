// SCS unit hydrograph: ordinates sampled from the dimensionless curve at the step ends, scaled
// to the whole volume, then convolved with the excess.
#include "rainfall_transform/scs_uh.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <string>

#include "core/format.hpp"
#include "core/units.hpp"
#include "rainfall_transform/convolution.hpp"

namespace vesparil {

namespace {

constexpr double kTablePeakRateFactor = 484.0;
constexpr double kAcresPerSquareMile = 640.0;
// The largest number of ordinates: a unit hydrograph this long is a mistake in the units.
constexpr double kMaxOrdinates = 1.0e7;
// The gamma curve is followed until it falls below this share of its peak.
constexpr double kGammaTail = 1.0e-9;

// NEH 630 table 16-1: t/Tp and q/qp of the dimensionless unit hydrograph.
constexpr std::array<double, 33> kTableTime = {
    0.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2, 1.3, 1.4, 1.5, 1.6,
    1.7, 1.8, 1.9, 2.0, 2.2, 2.4, 2.6, 2.8, 3.0, 3.2, 3.4, 3.6, 3.8, 4.0, 4.5, 5.0};
constexpr std::array<double, 33> kTableRatio = {
    0.000, 0.030, 0.100, 0.190, 0.310, 0.470, 0.660, 0.820, 0.930, 0.990, 1.000,
    0.990, 0.930, 0.860, 0.780, 0.680, 0.560, 0.460, 0.390, 0.330, 0.280, 0.207,
    0.147, 0.107, 0.077, 0.055, 0.040, 0.029, 0.021, 0.015, 0.011, 0.005, 0.000};

double table_ratio(double x) {
    if (!(x > 0.0) || x >= kTableTime.back()) return 0.0;
    std::size_t k = 1;
    while (kTableTime[k] < x) ++k;
    const double x0 = kTableTime[k - 1];
    const double r0 = kTableRatio[k - 1];
    return r0 + (kTableRatio[k] - r0) * ((x - x0) / (kTableTime[k] - x0));
}

// The exponent m whose gamma curve has the area 645.33 / PRF: the log of the area,
// m + lgamma(m + 1) - (m + 1) ln m, falls as m grows. A fixed count of halvings keeps the
// result the same on every build.
double gamma_exponent(double peak_rate_factor) {
    const double target =
        std::log((kAcresPerSquareMile * kCfsPerAcreInchPerHour) / peak_rate_factor);
    double low = 1.0e-6;
    double high = 1.0e6;
    for (int i = 0; i < 200; ++i) {
        const double m = (low + high) * 0.5;
        const double log_area = m + std::lgamma(m + 1.0) - (m + 1.0) * std::log(m);
        if (log_area > target) low = m; else high = m;
    }
    return (low + high) * 0.5;
}

double gamma_ratio(double x, double m) {
    if (!(x > 0.0)) return 0.0;
    return std::exp(m * ((1.0 + std::log(x)) - x));
}

}  // namespace

Result<std::vector<double>> scs_unit_hydrograph(const ScsUnitHydrographParameters& parameters,
                                                std::int32_t time_step) {
    const double area = parameters.basin_area;
    const double prf = parameters.peak_rate_factor;
    if (!(area > 0.0 && std::isfinite(area))) {
        return Error::value("basin_area must be > 0; got " + format_double(area));
    }
    if (!(prf > 0.0 && std::isfinite(prf))) {
        return Error::value("peak_rate_factor must be > 0; got " + format_double(prf));
    }
    const double step_hours = static_cast<double>(time_step) / kSecondsPerHour;
    const double lag_hours = parameters.lag_seconds / kSecondsPerHour;
    const double tp = step_hours / 2.0 + lag_hours;
    const double qp = ((prf * (area / kAcresPerSquareMile)) * 1.0) / tp;
    const bool tabulated = prf == kTablePeakRateFactor;
    const double m = tabulated ? 0.0 : gamma_exponent(prf);

    // Where the curve ends, in steps: x = 5 for the table; for the gamma curve the first x past
    // the peak where m (x - 1 - ln x) exceeds -ln(tail), found by doubling and halving.
    double end_x = kTableTime.back();
    if (!tabulated) {
        const double drop = -std::log(kGammaTail);
        double low = 1.0;
        double high = 2.0;
        while (m * ((high - 1.0) - std::log(high)) < drop && high < 1.0e12) high = high * 2.0;
        for (int i = 0; i < 100; ++i) {
            const double mid = (low + high) * 0.5;
            if (m * ((mid - 1.0) - std::log(mid)) < drop) low = mid; else high = mid;
        }
        end_x = high;
    }
    const double count = std::ceil((end_x * tp) / step_hours);
    if (!(count <= kMaxOrdinates)) {
        return Error::value("the unit hydrograph would have more than 10000000 ordinates; "
                            "lag / time_step is too large");
    }
    const std::size_t n = count >= 1.0 ? static_cast<std::size_t>(count) : 1;

    std::vector<double> ordinates;
    ordinates.reserve(n);
    double sum = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        const double x = (static_cast<double>(j + 1) * step_hours) / tp;
        const double ratio = tabulated ? table_ratio(x) : gamma_ratio(x, m);
        const double u = qp * ratio;
        ordinates.push_back(u);
        sum = sum + u;
    }
    // Tp >= D / 2 puts the first step end at x <= 2, inside every curve; this only guards a
    // sum that underflowed.
    if (!(sum > 0.0)) {
        ordinates.assign(1, (area * kCfsPerAcreInchPerHour) / step_hours);
        return ordinates;
    }
    const double scale = (area * kCfsPerAcreInchPerHour) / (sum * step_hours);
    for (double& u : ordinates) u = u * scale;
    return ordinates;
}

Result<std::vector<double>> run_scs_uh(const std::vector<double>& rainfall,
                                       std::int32_t time_step,
                                       const ScsUnitHydrographParameters& parameters,
                                       InterruptCheck interrupt) {
    auto ordinates = scs_unit_hydrograph(parameters, time_step);
    if (!ordinates) return std::move(ordinates).error();
    return convolve_excess(rainfall, *ordinates, interrupt);
}

}  // namespace vesparil
