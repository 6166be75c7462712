// Baseflow from groundwater layers, each a cascade of equal linear reservoirs (Nash 1957).
//
// Units: rainfall in inches per time step, basin area in acres, flows in cubic feet per second,
// K and the time step in hours inside the recurrence (seconds at the interface).
//
// Every reservoir of a layer's cascade obeys, with dt the time step and K the layer's storage
// constant divided by the number of reservoirs,
//
//     Q[t] = Q[t-1] * (1 - C) + I[t] * C,    C = dt / (K + 0.5 * dt),
//
// and the outflow of reservoir j is the inflow of reservoir j + 1. The layer inflow is its share
// of the infiltrated depth turned into a flow: I = ((r * gw_fraction) / dt) * (basin_area
// * 1.00833), the area factor in brackets formed once per run. Each step's total is the sum of the
// layers' outflows in the order the layers are given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/interrupt.hpp"
#include "core/result.hpp"
#include "utils/time_series.hpp"

namespace vesparil {

// Configuration of one groundwater layer.
struct LinearReservoir {
    double gw_fraction;         // share of the infiltrated rainfall feeding this layer, [0, 1]
    double initial_q;           // starting outflow of every reservoir of the cascade, cfs
    std::int32_t k_seconds;     // storage constant K of the whole layer, whole seconds, > 0
    std::size_t num_reservoir;  // reservoirs in series; at least 1 when constructed
};

// Validated layer from K given as seconds (whole seconds + nanoseconds / 1e9). K is truncated
// toward zero to whole seconds, saturating at the ends of the 32-bit range.
Result<LinearReservoir> make_linear_reservoir(double k_duration_seconds, double gw_fraction,
                                              double initial_q, std::size_t num_reservoir);

// The pieces of the recurrence, shared by the run below and by the basin's batch (which advances
// several members in turn): both make exactly these operations in this order.
struct LayerWeights {
    double c;  // dt / (K + 0.5 dt), K per reservoir
    double d;  // 1 - c
};

// The weights of a layer at a step of dt_hr hours; a reservoir faster than half a step is the
// ValueError "Stability Error: ...".
Result<LayerWeights> layer_weights(const LinearReservoir& layer, double dt_hr);

// The ValueError "Total fraction ... > 1.0" when the layers' shares add up to more than all.
Result<void> check_total_fraction(const std::vector<std::pair<std::string, LinearReservoir>>& layers);

// A layer's inflow from one step's infiltrated depth; area_factor = basin_area * 1.00833.
inline double layer_inflow(double rain, double gw_fraction, double dt_hr, double area_factor) {
    return ((rain * gw_fraction) / dt_hr) * area_factor;
}

// One reservoir's outflow after a step with inflow `flow`, from its outflow q before it.
inline double reservoir_step(double q, double flow, double c, double d) { return q * d + flow * c; }

// Baseflow of every layer and their sum, as discharge series with the rainfall's time step.
struct LinearReservoirRun {
    ContinuousTimeSeries total;
    // In the order the layers were given (that order is also the order of addition into total).
    std::vector<std::pair<std::string, ContinuousTimeSeries>> layers;
};

// Routes the rainfall (inches per time step of `time_step` seconds) over `basin_area` acres
// through every named layer, one after another in the given order. `interrupt` is asked every
// kInterruptInterval reservoir steps.
Result<LinearReservoirRun> run_linear_reservoir(
    double basin_area, const std::vector<double>& rainfall, std::int32_t time_step,
    const std::vector<std::pair<std::string, LinearReservoir>>& layers,
    InterruptCheck interrupt = {});

}  // namespace vesparil
