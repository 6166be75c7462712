// CemaNeige (Valery, Andreassian and Perrin 2014); see the header for the equations and units.
#include "snow/cemaneige.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/format.hpp"
#include "core/large_vector.hpp"

namespace vesparil {

namespace {

// The melt of a band's pack never goes below this share of the potential melt.
constexpr double kMinimumMeltShare = 0.1;
constexpr double kMeltTemperature = 0.0;
constexpr double kAllSnowBelow = -1.0;
constexpr double kAllRainAbove = 3.0;
// A run holds every band's state: enough for any catchment, small enough to stay cheap.
constexpr std::size_t kMaxBands = 1000;

}  // namespace

Result<CemaNeigeParameters> make_cemaneige_parameters(const CemaNeigeParameters& p) {
    if (!(p.kf >= 0.0 && p.kf < INFINITY)) return Error::value("kf must be >= 0 and finite");
    if (!(p.ctg >= 0.0 && p.ctg <= 1.0)) return Error::value("ctg must be between 0 and 1");
    if (!(p.mean_annual_snowfall > 0.0 && p.mean_annual_snowfall < INFINITY)) {
        return Error::value("mean_annual_snowfall must be > 0 and finite");
    }
    if (!std::isfinite(p.median_elevation)) {
        return Error::value("median_elevation must be finite");
    }
    if (!std::isfinite(p.temperature_gradient)) {
        return Error::value("temperature_gradient must be finite");
    }
    if (!std::isfinite(p.precipitation_gradient)) {
        return Error::value("precipitation_gradient must be finite");
    }
    return p;
}

Result<std::vector<CemaNeigeBand>> cemaneige_bands(const CemaNeigeParameters& p,
                                                   std::span<const double> elevations) {
    if (elevations.empty() || elevations.size() > kMaxBands) {
        return Error::value("elevations must hold 1 to 1000 bands");
    }
    std::vector<CemaNeigeBand> bands;
    double total = 0.0;
    for (const double z : elevations) {
        if (!std::isfinite(z)) return Error::value("elevations must be finite");
        const double weight = std::exp(p.precipitation_gradient * (z - p.median_elevation));
        bands.push_back({z, weight, 0.0, 0.0});
        total += weight;
    }
    const double mean = total / static_cast<double>(bands.size());
    if (!std::isfinite(mean) || mean == 0.0) {
        return Error::value("precipitation_gradient gives bands no finite share of precipitation");
    }
    for (auto& band : bands) band.share = band.share / mean;
    return bands;
}

bool cemaneige_advance(const CemaNeigeParameters& p, std::vector<CemaNeigeBand>& bands,
                       std::span<const double> precipitation, std::span<const double> temperature,
                       std::size_t first_kept, CemaNeigeSeries& out, InterruptCounter& counter) {
    const double threshold = 0.9 * p.mean_annual_snowfall;
    const double count = static_cast<double>(bands.size());
    for (std::size_t i = 0; i < precipitation.size(); ++i) {
        double liquid = 0.0;
        double pack = 0.0;
        double melted = 0.0;
        double fallen = 0.0;
        double state = 0.0;
        for (auto& band : bands) {
            const double pz = band.share * precipitation[i];
            const double tz = temperature[i] + p.temperature_gradient *
                                                   (band.elevation - p.median_elevation) / 100.0;
            double solid = 1.0 - (tz - kAllSnowBelow) / (kAllRainAbove - kAllSnowBelow);
            if (tz <= kAllSnowBelow) solid = 1.0;
            if (tz >= kAllRainAbove) solid = 0.0;
            const double psol = solid * pz;
            const double pliq = pz - psol;
            band.snowpack = band.snowpack + psol;
            band.thermal_state = p.ctg * band.thermal_state + (1.0 - p.ctg) * tz;
            if (band.thermal_state > 0.0) band.thermal_state = 0.0;
            double potential = 0.0;
            if (band.thermal_state == 0.0 && tz > kMeltTemperature) {
                potential = std::min(p.kf * (tz - kMeltTemperature), band.snowpack);
            }
            const double ratio = std::min(band.snowpack / threshold, 1.0);
            const double melt =
                ((1.0 - kMinimumMeltShare) * ratio + kMinimumMeltShare) * potential;
            band.snowpack = band.snowpack - melt;
            liquid += pliq + melt;
            pack += band.snowpack;
            melted += melt;
            fallen += psol;
            state += band.thermal_state;
        }
        if (i >= first_kept) {
            out.liquid_water.push_back(liquid / count);
            out.snowpack.push_back(pack / count);
            out.melt.push_back(melted / count);
            out.snowfall.push_back(fallen / count);
            out.thermal_state.push_back(state / count);
        }
        if (counter.stop_requested_after(4 * bands.size())) [[unlikely]]
            return false;
    }
    return true;
}

Result<CemaNeigeSeries> run_cemaneige(std::span<const double> precipitation,
                                      std::span<const double> temperature,
                                      const CemaNeigeParameters& parameters,
                                      std::span<const double> elevations, std::size_t warmup,
                                      InterruptCheck interrupt) {
    const std::size_t days = precipitation.size();
    if (temperature.size() != days) {
        return Error::value("precipitation and temperature must have the same length");
    }
    auto bands = cemaneige_bands(parameters, elevations);
    if (!bands) return std::move(bands).error();
    if (warmup > days) {
        return Error::value("warmup (" + format_int(static_cast<std::int64_t>(warmup)) +
                            ") is longer than the series (" +
                            format_int(static_cast<std::int64_t>(days)) + ")");
    }
    CemaNeigeSeries out;
    for (auto* series : {&out.liquid_water, &out.snowpack, &out.melt, &out.snowfall,
                         &out.thermal_state}) {
        reserve_large(*series, days - warmup);
    }
    InterruptCounter counter(interrupt);
    if (!cemaneige_advance(parameters, *bands, precipitation, temperature, warmup, out, counter)) {
        return Error::interrupted();
    }
    return out;
}

}  // namespace vesparil
