// Level pool (modified Puls) routing of an inflow hydrograph through a reservoir (Puls 1928;
// Chow, Maidment and Mays 1988, Applied Hydrology, section 8.2).
//
// The water surface is taken as level, so the stored volume alone fixes the elevation (through
// the elevation-storage curve) and the elevation fixes every outlet's release. The mass balance
// dS/dt = I - O is integrated with one-second sub-steps, outflow explicit (taken at the start of
// the sub-step) and inflow by the trapezoid over the sub-step:
//
//   S(t) = max(0, S(t-1) + ((I(t-1) + I(t)) * 0.5) * dt - O(t-1) * dt),   dt = 1 s
//
// Flows per second (e.g. cfs), storage in flow units times seconds (ft3 for cfs), elevations in
// the curves' units, times in whole seconds since the first inflow sample. Storage, elevation and
// outflows are recorded at the inflow's own time step.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/interrupt.hpp"
#include "core/result.hpp"
#include "reservoir_routing/reservoir_utils/discharge_source.hpp"
#include "reservoir_routing/reservoir_utils/elevation_storage.hpp"
#include "utils/time_series.hpp"

namespace vesparil {

struct LevelPoolResult {
    ContinuousTimeSeries reservoir_storage;        // kind "volume"
    ContinuousTimeSeries reservoir_elevation;      // kind "elevation"
    ContinuousTimeSeries reservoir_total_outflow;  // kind "discharge"
    // One "discharge" series per outlet, in the order the outlets were given.
    std::vector<std::pair<std::string, ContinuousTimeSeries>> reservoir_individual_outflows;
};

// Routes `inflow` (n >= 1 values, step T seconds) from `initial_elevation`. The sub-steps are
// t = T, T + 1, ..., T * (n - 1); the first one only records the outflow at the initial
// elevation, and the first update (t = T + 1) pairs I(T + 1) with the first sample I(0), so the
// inflow's first interval enters only through that sample. Outlets are asked in the order given
// (that order is the order of the floating-point sum of their releases) and their names are
// expected to be distinct. The first error of any lookup ends the run and is returned unchanged;
// nothing partial is returned.
// `interrupt` is asked every kInterruptInterval sub-steps; when it requests a stop the run ends
// with Error::interrupted() (the caller's own reason, e.g. a pending KeyboardInterrupt, stands).
Result<LevelPoolResult> run_level_pool_routing(
    const ContinuousTimeSeries& inflow, double initial_elevation, const ElevationStorage& curve,
    const std::vector<std::pair<std::string, DischargeInfo>>& outlets,
    InterruptCheck interrupt = {});

}  // namespace vesparil
