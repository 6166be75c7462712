// A degree-day snow store: the temperature-index snow routine of HBV as given by Seibert and Vis
// (2012, HESS 16), without the snowfall correction, usable in front of any rainfall-runoff model.
//
// Units: precipitation P in mm/day, temperature T in deg C, stores and flows in mm (per day),
// TT in deg C, the melt factor CFMAX in mm/(deg C day); CFR and CWH have none.
//
// One day, in the order the code computes it (SP frozen water, WC liquid water held):
//   T < TT: snowfall = P, rain = 0;  otherwise rain = P
//   SP = SP + snowfall
//   T > TT: melt = min(CFMAX (T - TT), SP), SP = SP - melt, WC = WC + melt
//   T < TT: refreeze = min(CFR CFMAX (TT - T), WC), SP = SP + refreeze, WC = WC - refreeze
//   WC = WC + rain; outflow = max(WC - CWH SP, 0); WC = WC - outflow
// Every day closes (SP + WC) change + outflow = P.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <vector>

#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

struct DegreeDayParameters {
    double threshold_temperature;   // TT, deg C
    double melt_factor;             // CFMAX, mm/(deg C day), >= 0
    double refreezing_coefficient;  // CFR, >= 0
    double water_holding;           // CWH, >= 0
};

Result<DegreeDayParameters> make_degree_day_parameters(const DegreeDayParameters& given);

struct SnowStore {
    double snowpack;  // SP, mm
    double water;     // WC, mm
};

// The day's snowfall, melt and outflow (mm/day); `store` is advanced.
struct SnowDay {
    double snowfall;
    double melt;
    double outflow;
};

// One day of the store, with the snowfall already corrected by the caller if it corrects it.
// Defined here so that the models calling it every day (HBV) can inline it.
inline SnowDay degree_day_step(const DegreeDayParameters& k, SnowStore& store,
                               double snowfall, double rain, double t) {
    double sp = store.snowpack + snowfall;
    double wc = store.water;
    double melt = 0.0;
    if (t > k.threshold_temperature) {
        melt = std::min(k.melt_factor * (t - k.threshold_temperature), sp);
        sp = sp - melt;
        wc = wc + melt;
    } else if (t < k.threshold_temperature) {
        const double refreeze = std::min(
            k.refreezing_coefficient * k.melt_factor * (k.threshold_temperature - t), wc);
        sp = sp + refreeze;
        wc = wc - refreeze;
    }
    wc = wc + rain;
    const double outflow = std::max(wc - k.water_holding * sp, 0.0);
    wc = wc - outflow;
    store = {sp, wc};
    return {snowfall, melt, outflow};
}

struct DegreeDaySeries {
    std::vector<double> outflow;
    std::vector<double> snowpack;
    std::vector<double> snow_water;
    std::vector<double> snowfall;
    std::vector<double> melt;
};

// A whole run from `initial_snowpack` mm of snow and no liquid water, `warmup` days first.
Result<DegreeDaySeries> run_degree_day_snow(std::span<const double> precipitation,
                                            std::span<const double> temperature,
                                            const DegreeDayParameters& parameters,
                                            double initial_snowpack, std::size_t warmup,
                                            InterruptCheck interrupt = {});

}  // namespace vesparil
