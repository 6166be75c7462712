// CemaNeige, the degree-day snow accounting routine with a snowpack thermal state and elevation
// bands (Valery, Andreassian and Perrin 2014, "'As simple as possible but not simpler': what is
// useful in a temperature-based snow-accounting routine? Part 2", J. Hydrol. 517, 1176-1187).
//
// Units: precipitation P in mm/day, temperature T in deg C, elevations in m, stores and flows in
// mm (per day); Kf in mm/(deg C day); CTG has none; the mean annual snowfall in mm.
//
// The catchment is cut into bands of equal area, each at its own elevation Z. Once per run:
//   w_z = exp(beta (Z_z - Z_median)), and f_z = w_z / mean(w): each band's share of P, rescaled
//   so that the bands together receive the catchment's precipitation;
//   G_threshold = 0.9 x mean annual snowfall.
// Each day, for each band in the given order (G snowpack, eTG its thermal state):
//   P_z = f_z P;  T_z = T + gradient (Z_z - Z_median) / 100
//   solid fraction s = 1 for T_z <= -1, 0 for T_z >= 3, else 1 - (T_z - (-1)) / (3 - (-1))
//   Psol = s P_z, Pliq = P_z - Psol;  G = G + Psol
//   eTG = CTG eTG + (1 - CTG) T_z, then min(eTG, 0)
//   potential melt = min(Kf (T_z - 0), G) when eTG = 0 and T_z > 0, else 0
//   melt = ((1 - 0.1) min(G / G_threshold, 1) + 0.1) potential melt;  G = G - melt
//   liquid output = Pliq + melt
// Catchment outputs are the means over the bands, summed in band order and divided by their
// number. Each band closes G change + liquid output = P_z.
//
// Two simplifications against the published routine, both stated in the guide: the temperature
// gradient is one constant instead of a value per day of the year, and the solid fraction always
// uses the mean-temperature rule above (the published routine switches to a rule on daily
// extremes for catchments whose median elevation is above 1500 m).
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

struct CemaNeigeParameters {
    double kf;                      // degree-day melt factor, mm/(deg C day), >= 0
    double ctg;                     // thermal state weighting, [0, 1]
    double mean_annual_snowfall;    // mm, > 0
    double median_elevation;        // m
    double temperature_gradient;    // deg C per 100 m
    double precipitation_gradient;  // beta, 1/m
};

struct CemaNeigeBand {
    double elevation;      // m
    double share;          // f_z
    double snowpack;       // G, mm
    double thermal_state;  // eTG, deg C
};

struct CemaNeigeSeries {
    std::vector<double> liquid_water;   // rain + melt, catchment mean
    std::vector<double> snowpack;       // G, catchment mean
    std::vector<double> melt;
    std::vector<double> snowfall;       // Psol
    std::vector<double> thermal_state;  // eTG, catchment mean
};

// Checks the parameters ("kf must be >= 0", ...).
Result<CemaNeigeParameters> make_cemaneige_parameters(const CemaNeigeParameters& given);

// Bands at the given elevations, with no snow and a thermal state of 0.
Result<std::vector<CemaNeigeBand>> cemaneige_bands(const CemaNeigeParameters& parameters,
                                                   std::span<const double> elevations);

// Advances the bands over the days, appending each day's outputs from day `first_kept` on.
bool cemaneige_advance(const CemaNeigeParameters& parameters, std::vector<CemaNeigeBand>& bands,
                       std::span<const double> precipitation, std::span<const double> temperature,
                       std::size_t first_kept, CemaNeigeSeries& out, InterruptCounter& counter);

Result<CemaNeigeSeries> run_cemaneige(std::span<const double> precipitation,
                                      std::span<const double> temperature,
                                      const CemaNeigeParameters& parameters,
                                      std::span<const double> elevations, std::size_t warmup,
                                      InterruptCheck interrupt = {});

}  // namespace vesparil
