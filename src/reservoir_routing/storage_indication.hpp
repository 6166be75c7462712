// Storage-indication (modified Puls) reservoir routing at the inflow's own time step (Chow,
// Maidment and Mays 1988, Applied Hydrology, section 8.2; Puls 1928).
//
// The continuity equation over one step of dt seconds, trapezoidal for inflow and outflow,
//
//   2 S[j+1] / dt + O[j+1] = (I[j] + I[j+1]) + (2 S[j] / dt - O[j])        (Chow eq. 8.2.3)
//
// is solved through the storage-outflow function N = 2S/dt + O, tabulated once on an elevation
// grid: the storage curve's elevations, every outlet's rating-curve elevations (shifted by an
// offset) and its gate elevations, inside the storage curve. Storage and every release are
// linear in elevation between two grid points (except where a maximum release clips a rating,
// or at a gate, which the grid turns into a ramp to the next point), so N, O, each release and
// the elevation are interpolated with one weight per step:
//
//   N[j+1] = (I[j] + I[j+1]) + (N[j] - 2 O[j])
//   k: N_k <= N[j+1] <= N_k+1;  w = (N[j+1] - N_k) / (N_k+1 - N_k)
//   O_i[j+1] = O_i,k + w (O_i,k+1 - O_i,k) for each outlet i;  O[j+1] = the O_i[j+1] added in
//   the outlets' order (as each row's O is), so the releases add up to it exactly;
//   h[j+1] = h_k + w (h_k+1 - h_k)
//   S[j+1] = (N[j+1] - O[j+1]) * dt / 2
//
// so the balance holds to rounding step by step. Flows in cfs, storage in ft3, elevations in
// ft, dt in seconds. A value of N below the table (a step too long for the outlets, where
// 2S/dt - O < 0) is raised to its bottom: the reservoir is empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/interrupt.hpp"
#include "core/result.hpp"
#include "reservoir_routing/level_pool.hpp"
#include "reservoir_routing/reservoir_utils/discharge_source.hpp"
#include "reservoir_routing/reservoir_utils/elevation_storage.hpp"

namespace vesparil {

// The storage-outflow function on its elevation grid; outlet i's release at point k is
// releases[k * outlet_count + i].
struct StorageIndicationTable {
    std::vector<double> elevation;
    std::vector<double> storage;
    std::vector<double> outflow;
    std::vector<double> indication;  // 2 S / dt + O, strictly increasing
    std::vector<double> releases;
    std::size_t outlet_count = 0;
    Error beyond{};  // what a lookup above the table reports
};

// A row of the table, or a step of the run, in the interrupt counter's units (some 6 ns each):
// one for the storage and the total outflow, and one for each outlet's release, interpolated and
// written. A step's walk from its interval to the next adds one unit every eight rows passed (a
// comparison each). The table and the run ask for interruption after that much work; a caller
// that needs a run's work (a binding deciding whether to let go of the interpreter lock, a basin)
// counts the same.
inline std::uint64_t storage_indication_row_work(std::size_t outlet_count) {
    return static_cast<std::uint64_t>(outlet_count) + 1;
}

// The table's rows at most: the storage curve's elevations, and every outlet's rating-curve and
// gate elevations.
std::size_t storage_indication_table_rows(
    const ElevationStorage& curve,
    const std::vector<std::pair<std::string, DischargeInfo>>& outlets);

// Fails (ValueError) for a time-series outlet, for an initial elevation or curve lookup that
// fails as in level pool routing, and when N does not increase with elevation; Interrupted when
// the caller asked to stop.
Result<StorageIndicationTable> storage_indication_table(
    const ElevationStorage& curve,
    const std::vector<std::pair<std::string, DischargeInfo>>& outlets, double dt,
    InterruptCheck interrupt = {});

// Routes `inflow` (n >= 1 values) from `initial_elevation`; every record has n values, the first
// being the initial state. Records are laid out as level pool routing's.
Result<LevelPoolResult> run_storage_indication_routing(
    const ContinuousTimeSeries& inflow, double initial_elevation, const ElevationStorage& curve,
    const std::vector<std::pair<std::string, DischargeInfo>>& outlets,
    InterruptCheck interrupt = {});

}  // namespace vesparil
