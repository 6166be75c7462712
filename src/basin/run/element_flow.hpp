// Each element's outflow on the basin's time axis.
//
// The axis rule: a basin run has T steps of Δt. Rainfall value i is the depth over the interval
// [i Δt, (i + 1) Δt); every outflow value i is the flow at the instant i Δt, so every element
// writes exactly T values:
//   sub-basin  excess and loss = the loss method's (or all rain is excess);
//              direct runoff = the Clark hydrograph of the excess, its first T values (the
//              N - 1 values after them fall beyond the axis); the SCS and Snyder hydrographs,
//              whose value k is the flow at (k + 1) dt: 0 in front, then their first T - 1
//              values; baseflow value 0 = the layers'
//              initial flows added in layer order, value i = the baseflow core's value i - 1
//              (which is the flow at the end of interval i - 1); outflow = direct + baseflow.
//   reach      Muskingum or Muskingum-Cunge of the inflow, starting from the first inflow value
//              (a steady start).
//   reservoir  level pool of the inflow with its first value repeated in front, so the first
//              interval enters the pool; storage indication of the inflow as it is (its value 0
//              is already the initial state); outflow value 0 is the release at the initial
//              elevation.
//   junction   the sum of its inflows, added in the order the upstream elements were added.
//   source     the given series.
// Every stage calls the method's own core unchanged, so a basin equals the chain of today's
// functions lined up by this rule, bit for bit.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "basin/model/basin_model.hpp"
#include "basin/model/element_series.hpp"
#include "core/interrupt.hpp"
#include "core/result.hpp"
#include "utils/time_series.hpp"

namespace vesparil {

// The transform's direct runoff of `excess` on the axis: as many values as `excess`.
Result<std::vector<double>> direct_runoff(const TransformMethod& method,
                                          const std::vector<double>& excess,
                                          std::int32_t time_step, double area,
                                          InterruptCheck interrupt);

// `rain` holds T values with the basin's time step; `out` receives T values.
Result<void> subbasin_outflow(const Subbasin& subbasin, const IncrementalTimeSeries& rain,
                              std::vector<double>& out, InterruptCheck interrupt,
                              ElementDetails* details = nullptr);

Result<void> reach_outflow(const Reach& reach, std::int32_t time_step,
                           std::span<const double> inflow, std::vector<double>& out,
                           InterruptCheck interrupt);

Result<void> reservoir_outflow(const Reservoir& reservoir, std::int32_t time_step,
                               std::span<const double> inflow, std::vector<double>& out,
                               InterruptCheck interrupt, ElementDetails* details = nullptr);

}  // namespace vesparil
