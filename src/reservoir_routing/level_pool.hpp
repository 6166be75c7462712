// Level pool (modified Puls) routing of an inflow hydrograph through a reservoir.
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
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "reservoir_routing/reservoir_utils/discharge_source.hpp"
#include "reservoir_routing/reservoir_utils/elevation_storage.hpp"
#include "utils/result.hpp"
#include "utils/time_series.hpp"

namespace vesparil {

struct LevelPoolResult {
    ContinuousTimeSeries reservoir_storage;        // kind "volume"
    ContinuousTimeSeries reservoir_elevation;      // kind "elevation"
    ContinuousTimeSeries reservoir_total_outflow;  // kind "discharge"
    // One "discharge" series per outlet, in the order the outlets were given.
    std::vector<std::pair<std::string, ContinuousTimeSeries>> reservoir_individual_outflows;
};

// Message of the Runtime error returned when `interrupted` asked the run to stop. It is a marker
// for the caller, never shown to a user: the caller that supplied `interrupted` already knows why
// it said so (for example a pending KeyboardInterrupt) and reports that instead.
inline constexpr std::string_view kLevelPoolInterrupted = "__interrupted__";

// How many sub-steps run between two calls of `interrupted` (a power of two).
inline constexpr std::int64_t kLevelPoolInterruptInterval = std::int64_t{1} << 22;

// Routes `inflow` (n >= 1 values, step T seconds) from `initial_elevation`. The sub-steps are
// t = T, T + 1, ..., T * (n - 1); the first one only records the outflow at the initial
// elevation. Outlets are asked in the order given (that order is the order of the floating-point
// sum of their releases) and their names are expected to be distinct. The first error of any
// lookup ends the run and is returned unchanged; nothing partial is returned.
//
// `interrupted`, when set, is called every kLevelPoolInterruptInterval sub-steps; if it returns
// true the run stops with Error{ErrorKind::Runtime, kLevelPoolInterrupted}.
Result<LevelPoolResult> run_level_pool_routing(
    const ContinuousTimeSeries& inflow, double initial_elevation, const ElevationStorage& curve,
    const std::vector<std::pair<std::string, DischargeInfo>>& outlets,
    const std::function<bool()>& interrupted = {});

// Whether `error` is the stop requested through `interrupted` rather than a failure of the model.
inline bool is_level_pool_interrupted(const Error& error) {
    return error.kind == ErrorKind::Runtime && error.message == kLevelPoolInterrupted;
}

}  // namespace vesparil
