// One run of a basin: every element's outflow on the basin's axis, computed upstream to
// downstream, and the per-element summary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "basin/model/basin_model.hpp"
#include "basin/model/forcing.hpp"
#include "basin/run/element_flow.hpp"
#include "basin/model/network.hpp"
#include "basin/run/subbasin_group.hpp"
#include "core/interrupt.hpp"
#include "core/result.hpp"
#include "utils/time_series.hpp"

namespace vesparil {

// Fails with a ValueError naming the element when a sub-basin or source has no series, when
// the series have different lengths or none has a value.
Result<void> check_forcing(const BasinModel& model, const BasinForcing& forcing);

// Outflows of the elements marked in `needed` (all when it is empty), each T values, into
// `outflows` (one vector per element, reused from call to call), and, when `details` is given,
// every element's inner series (element_flow.hpp). Every element's check (check_element) is made
// first.
Result<void> run_elements(const BasinModel& model, const Network& network,
                          const BasinForcing& forcing, const std::vector<bool>& needed,
                          std::vector<std::vector<double>>& outflows, InterruptCheck interrupt,
                          std::vector<ElementDetails>* details = nullptr);

// Every element's check (check_element), in element order, but those marked in `skip`.
Result<void> check_elements(const BasinModel& model, const std::vector<bool>& skip = {});

// The same for a group of members of one model (alike but for their parameter values), each
// with its own outflows: sub-basins advance the members together (basin/run/subbasin_group.hpp),
// other elements take them one after another. Every member gets the bits of run_elements. The
// members' elements are checked by the caller (the batch checks each element once: those its
// columns set per member, the others once for all).
Result<void> run_elements_group(std::span<const BasinModel* const> models, const Network& network,
                                const BasinForcing& forcing, const std::vector<bool>& needed,
                                std::span<std::vector<std::vector<double>>* const> outflows,
                                GroupScratch& scratch, InterruptCheck interrupt);

// The elements that `at` depends on, itself included.
std::vector<bool> upstream_of(const Network& network, std::size_t at);

// Volumes in acre-feet. Outflow value i is the flow at the instant i Δt, so a flow's volume is
// its trapezoidal integral over the axis, Δt (Σ q − (q_0 + q_{T−1}) / 2), the rule the routings
// keep their storage by; a sub-basin's inflow is its rainfall over its area (the depths of the
// T steps); a reservoir's outflow volume is what it released by its own mass balance, volume in
// − storage change (the level pool's release, integrated second by second, differs from the
// trapezoid of its samples at the step). Balance = volume in - volume out: what the element kept (a reservoir's storage
// change; a sub-basin's loss that feeds no baseflow layer) or gave beyond its
// inflow (a baseflow's initial flow). A reservoir also gives its storage change and largest
// storage (acre-feet, from its storage series) and its peak stage (its largest elevation);
// those are NaN for the other elements.
struct ElementSummary {
    double peak = 0.0;             // largest outflow, NaN ignored
    std::int64_t peak_step = 0;    // first step at the peak
    double volume_in = 0.0;
    double volume_out = 0.0;
    double balance = 0.0;
    bool reservoir = false;
    double storage_change = std::numeric_limits<double>::quiet_NaN();
    double maximum_storage = std::numeric_limits<double>::quiet_NaN();
    double peak_stage = std::numeric_limits<double>::quiet_NaN();
};

// `details`, when given, holds every element's inner series (a reservoir's storage and
// elevation among them); without them a reservoir's three values stay NaN.
std::vector<ElementSummary> summarize(const BasinModel& model, const Network& network,
                                      const BasinForcing& forcing,
                                      const std::vector<std::vector<double>>& outflows,
                                      const std::vector<ElementDetails>* details = nullptr);

}  // namespace vesparil
