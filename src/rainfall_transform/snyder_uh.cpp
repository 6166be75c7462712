// Snyder's unit hydrograph: the seven points of the sketch, joined by straight lines, sampled
// at the step ends and scaled to the whole volume.
#include "rainfall_transform/snyder_uh.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <string>
#include <utility>

#include "core/format.hpp"
#include "core/units.hpp"
#include "rainfall_transform/convolution.hpp"

namespace vesparil {

namespace {

constexpr double kAcresPerSquareMile = 640.0;
constexpr double kMaxOrdinates = 1.0e7;

Error refused(const char* what, double value) {
    return Error::value(std::string(what) + " must be > 0; got " + format_double(value));
}

bool positive(double value) { return value > 0.0 && std::isfinite(value); }

}  // namespace

Result<std::vector<double>> snyder_unit_hydrograph(const SnyderParameters& sp,
                                                   std::int32_t time_step) {
    const std::array<std::pair<const char*, double>, 5> checks = {{
        {"basin_area", sp.basin_area}, {"ct", sp.ct}, {"cp", sp.cp},
        {"stream_length", sp.stream_length}, {"centroid_length", sp.centroid_length}}};
    for (const auto& [name, value] : checks) {
        if (!positive(value)) return refused(name, value);
    }
    const double t_r = static_cast<double>(time_step) / kSecondsPerHour;
    const double tp = (1.0 * sp.ct) * std::pow(sp.stream_length * sp.centroid_length, 0.3);
    const double tr = tp / 5.5;
    // tr < 4 tp, so tpR > 0 for every positive step.
    const double tp_r = tp - (tr - t_r) / 4.0;
    const double qp_r = (640.0 * sp.cp) / tp_r;
    const double tb = 1290.0 / qp_r;
    const double w75 = 440.0 * std::pow(qp_r, -1.08);
    const double w50 = 770.0 * std::pow(qp_r, -1.08);
    const double peak_time = t_r / 2.0 + tp_r;
    const double qp = qp_r * (sp.basin_area / kAcresPerSquareMile);

    const std::array<double, 7> sketch_t = {0.0,
                                            peak_time - w50 / 3.0,
                                            peak_time - w75 / 3.0,
                                            peak_time,
                                            peak_time + (2.0 * w75) / 3.0,
                                            peak_time + (2.0 * w50) / 3.0,
                                            tb};
    const std::array<double, 7> sketch_q = {0.0, qp * 0.5, qp * 0.75, qp, qp * 0.75, qp * 0.5,
                                            0.0};
    std::array<double, 7> t{};
    std::array<double, 7> q{};
    std::size_t points = 0;
    for (std::size_t k = 0; k < sketch_t.size(); ++k) {
        if (points > 0 && !(sketch_t[k] > t[points - 1])) continue;
        t[points] = sketch_t[k];
        q[points] = sketch_q[k];
        ++points;
    }
    const double end = t[points - 1];
    const double count = std::ceil(end / t_r);
    if (!(count <= kMaxOrdinates)) {
        return Error::value("the unit hydrograph would have more than 10000000 ordinates; "
                            "the lag is too long for the time step");
    }
    const std::size_t n = count >= 1.0 ? static_cast<std::size_t>(count) : 1;
    std::vector<double> ordinates;
    ordinates.reserve(n);
    double sum = 0.0;
    std::size_t k = 1;
    for (std::size_t j = 0; j < n; ++j) {
        const double at = static_cast<double>(j + 1) * t_r;
        while (k < points && t[k] < at) ++k;
        double u = 0.0;
        if (k < points) u = q[k - 1] + (q[k] - q[k - 1]) * ((at - t[k - 1]) / (t[k] - t[k - 1]));
        ordinates.push_back(u);
        sum = sum + u;
    }
    const double volume = sp.basin_area * kCfsPerAcreInchPerHour;
    if (!(sum > 0.0)) {
        ordinates.assign(1, volume / t_r);
        return ordinates;
    }
    const double scale = volume / (sum * t_r);
    for (double& u : ordinates) u = u * scale;
    return ordinates;
}

Result<std::vector<double>> run_snyder_uh(const std::vector<double>& rainfall,
                                          std::int32_t time_step,
                                          const SnyderParameters& parameters,
                                          InterruptCheck interrupt) {
    auto ordinates = snyder_unit_hydrograph(parameters, time_step);
    if (!ordinates) return std::move(ordinates).error();
    return convolve_excess(rainfall, *ordinates, interrupt);
}

}  // namespace vesparil
