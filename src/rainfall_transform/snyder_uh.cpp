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

Result<SnyderTimeBase> snyder_time_base(std::string_view word) {
    if (word == "triangle") return SnyderTimeBase::triangle;
    if (word == "small_watershed") return SnyderTimeBase::small_watershed;
    return Error::value("time_base must be one of [\"triangle\", \"small_watershed\"]; got '" +
                        std::string(word) + "'");
}

Result<SnyderHydrograph> snyder_hydrograph(const SnyderParameters& sp,
                                           std::optional<double> duration_hours,
                                           SnyderTimeBase time_base) {
    const std::array<std::pair<const char*, double>, 5> checks = {{
        {"basin_area", sp.basin_area}, {"ct", sp.ct}, {"cp", sp.cp},
        {"stream_length", sp.stream_length}, {"centroid_length", sp.centroid_length}}};
    for (const auto& [name, value] : checks) {
        if (!positive(value)) return refused(name, value);
    }
    if (duration_hours && !positive(*duration_hours)) {
        return Error::value("time_step must be > 0");
    }
    SnyderHydrograph h;
    h.lag = (1.0 * sp.ct) * std::pow(sp.stream_length * sp.centroid_length, 0.3);
    h.standard_duration = h.lag / 5.5;
    h.duration = duration_hours ? *duration_hours : h.standard_duration;
    // tr < 4 tp, so tpR > 0 for every positive duration.
    h.adjusted_lag = h.lag - (h.standard_duration - h.duration) / 4.0;
    h.peak_rate = (640.0 * sp.cp) / h.adjusted_lag;
    const double triangle_base = 1290.0 / h.peak_rate;
    h.w75 = 440.0 * std::pow(h.peak_rate, -1.08);
    h.w50 = 770.0 * std::pow(h.peak_rate, -1.08);
    h.peak_time = h.duration / 2.0 + h.adjusted_lag;
    h.peak_discharge = h.peak_rate * (sp.basin_area / kAcresPerSquareMile);
    h.time_base = time_base == SnyderTimeBase::triangle ? triangle_base : 4.0 * h.peak_time;

    const double tp = h.peak_time;
    const double qp = h.peak_discharge;
    const std::array<std::pair<double, double>, 7> sketch = {{
        {0.0, 0.0},
        {tp - h.w50 / 3.0, qp * 0.5},
        {tp - h.w75 / 3.0, qp * 0.75},
        {tp, qp},
        {tp + (2.0 * h.w75) / 3.0, qp * 0.75},
        {tp + (2.0 * h.w50) / 3.0, qp * 0.5},
        {h.time_base, 0.0}}};
    h.sketch.reserve(sketch.size());
    for (const auto& point : sketch) {
        if (!h.sketch.empty() && !(point.first > h.sketch.back().first)) continue;
        h.sketch.push_back(point);
    }
    return h;
}

Result<std::vector<double>> snyder_unit_hydrograph(const SnyderParameters& sp,
                                                   std::int32_t time_step,
                                                   SnyderTimeBase time_base) {
    const double t_r = static_cast<double>(time_step) / kSecondsPerHour;
    auto made = snyder_hydrograph(sp, t_r, time_base);
    if (!made) return std::move(made).error();
    const auto& points = made->sketch;
    const double end = points.back().first;
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
        while (k < points.size() && points[k].first < at) ++k;
        double u = 0.0;
        if (k < points.size()) {
            const auto& [t0, q0] = points[k - 1];
            const auto& [t1, q1] = points[k];
            u = q0 + (q1 - q0) * ((at - t0) / (t1 - t0));
        }
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
                                          InterruptCheck interrupt, SnyderTimeBase time_base) {
    auto ordinates = snyder_unit_hydrograph(parameters, time_step, time_base);
    if (!ordinates) return std::move(ordinates).error();
    return convolve_excess(rainfall, *ordinates, interrupt);
}

}  // namespace vesparil
