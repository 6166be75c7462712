// HBV in its light form (Seibert and Vis 2012, "Teaching hydrological modeling with a
// user-friendly catchment-runoff-model software package", HESS 16, 3315-3325), daily.
//
// Units: precipitation P and potential evapotranspiration E in mm/day, temperature T in deg C;
// stores in mm; TT in deg C, CFMAX in mm/(deg C day), PERC in mm/day, K0, K1, K2 per day,
// MAXBAS in days; SFCF, CFR, CWH, LP and BETA have none.
//
// One day, in the order the code computes it:
//
//   snow routine (SP snowpack, WC liquid water in it): the degree-day store of
//   snow/degree_day.hpp, fed with the corrected snowfall
//     T < TT: snowfall = SFCF P, rain = 0;   otherwise rain = P
//     SP = SP + snowfall
//     T > TT: melt = min(CFMAX (T - TT), SP), SP = SP - melt, WC = WC + melt
//     T < TT: refreeze = min(CFR CFMAX (TT - T), WC), SP = SP + refreeze, WC = WC - refreeze
//     WC = WC + rain; release = max(WC - CWH SP, 0); WC = WC - release
//   soil routine (SM soil moisture)
//     recharge = release (SM/FC)^BETA                   (SM before the day's input)
//     SM = SM + (release - recharge); water above FC joins the recharge, SM = FC
//     Ea = min(E min(SM / (FC LP), 1), SM); SM = SM - Ea
//   response routine (SUZ upper zone, SLZ lower zone)
//     SUZ = SUZ + recharge; perc = min(PERC, SUZ); SUZ = SUZ - perc; SLZ = SLZ + perc
//     Q0 = K0 max(SUZ - UZL, 0), Q1 = K1 SUZ, SUZ = SUZ - Q0 - Q1;  Q2 = K2 SLZ, SLZ = SLZ - Q2
//     QGW = K2 SLZ + K1 SUZ + K0 max(SUZ - UZL, 0), summed as (Q2 + Q1) + Q0
//   routing: Q(t) = sum over i of c(i) QGW(t - i + 1), with the triangular weights
//     c(i) = integral from i - 1 to i of (2/MAXBAS - |u - MAXBAS/2| 4/MAXBAS^2) du, taken in
//     closed form as G(i) - G(i - 1): G(x) = 2 x^2 / MAXBAS^2 up to MAXBAS/2,
//     1 - 2 (MAXBAS - x)^2 / MAXBAS^2 up to MAXBAS, 1 after.
//
// With W the water still in the routing, every day closes
//   (SP + WC + SM + SUZ + SLZ + W) change + Q + Ea = rain + snowfall.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

struct HbvParameters {
    double tt, cfmax, sfcf, cfr, cwh;           // snow
    double fc, lp, beta;                        // soil
    double perc, uzl, k0, k1, k2, maxbas;       // response and routing
};

inline constexpr double kHbvMaxMaxbas = 10000.0;

// Checks every parameter ("fc must be > 0", ...), in the order of the struct.
Result<HbvParameters> make_hbv_parameters(const HbvParameters& given);

// The MAXBAS weights, ceil(MAXBAS) of them.
std::vector<double> hbv_routing_weights(double maxbas);

// A day's work in the interrupt counter's units (some 7 ns each): the day's own arithmetic and
// the ceil(MAXBAS) weights, eight to a unit, which every day moves. hbv_advance asks for
// interruption after that much; a caller that runs many days (a binding, a basin) counts the same.
std::uint64_t hbv_day_work(const HbvParameters& parameters);

struct HbvState {
    double snowpack;
    double snow_water;
    double soil_moisture;
    double upper_zone;
    double lower_zone;
    std::vector<double> pending;  // routed water leaving k days from now
};

// Day by day outputs, in mm or mm/day.
struct HbvSeries {
    std::vector<double> flow;
    std::vector<double> snowpack;
    std::vector<double> snow_water;
    std::vector<double> soil_moisture;
    std::vector<double> upper_zone;
    std::vector<double> lower_zone;
    std::vector<double> routing_store;
    std::vector<double> actual_evapotranspiration;
    std::vector<double> recharge;
    std::vector<double> snowfall;
};

// Advances `state` over the days of the three series (same length), appending each day's outputs
// to `out` from day `first_kept` on. False when the caller asked to stop.
bool hbv_advance(const HbvParameters& parameters, const std::vector<double>& weights,
                 HbvState& state, std::span<const double> precipitation,
                 std::span<const double> temperature, std::span<const double> evaporation,
                 std::size_t first_kept, HbvSeries& out, InterruptCounter& counter);

// A whole run from no snow, SM = soil_fraction FC and the given zones (mm), `warmup` days first.
Result<HbvSeries> run_hbv(std::span<const double> precipitation,
                          std::span<const double> temperature,
                          std::span<const double> evaporation, const HbvParameters& parameters,
                          double soil_fraction, double upper_zone, double lower_zone,
                          std::size_t warmup, InterruptCheck interrupt = {});

}  // namespace vesparil
