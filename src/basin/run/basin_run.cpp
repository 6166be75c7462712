// A basin run: the elements in network order, each reading its upstream elements' outflows.
#include "basin/run/basin_run.hpp"

#include <span>
#include <string>

#include "basin/daily/daily_front.hpp"
#include "basin/daily/lumped_flow.hpp"
#include "basin/run/element_check.hpp"
#include "basin/run/element_flow.hpp"
#include "core/driving_series.hpp"
#include "core/format.hpp"
#include "core/nan_minmax.hpp"

namespace vesparil {

namespace {

constexpr double kSquareFeetPerAcre = 43560.0;
constexpr double kInchesPerFoot = 12.0;
constexpr double kMillimetresPerFoot = 304.8;

bool takes_series(const Element& element) {
    return std::holds_alternative<Subbasin>(element.method) ||
           std::holds_alternative<Source>(element.method);
}

// The sum of the upstream outflows, added one element after another in their order.
void add_inflows(const std::vector<std::size_t>& upstream,
                 const std::vector<std::vector<double>>& outflows, std::vector<double>& sum) {
    sum = outflows[upstream[0]];
    for (std::size_t k = 1; k < upstream.size(); ++k) {
        const std::vector<double>& more = outflows[upstream[k]];
        for (std::size_t i = 0; i < sum.size(); ++i) sum[i] = sum[i] + more[i];
    }
}

// The trapezoidal integral of flows at the instants 0, Δt, ..., (T − 1) Δt.
double flow_volume(std::span<const double> flows, double seconds) {
    if (flows.empty()) return 0.0;
    double total = 0.0;
    for (const double flow : flows) total = total + flow;
    total = total - (flows.front() + flows.back()) * 0.5;
    return total * seconds / kSquareFeetPerAcre;
}

double largest(const std::vector<double>& values) {
    double most = values.front();
    for (const double value : values) most = nan_max(most, value);
    return most;
}

// A reservoir's storage change, largest storage (acre-feet) and peak stage from its series.
void summarize_pool(const ElementDetails& details, ElementSummary& summary) {
    for (const NamedSeries& series : details) {
        if (series.values.empty()) continue;
        if (series.name == "storage") {
            summary.storage_change =
                (series.values.back() - series.values.front()) / kSquareFeetPerAcre;
            summary.maximum_storage = largest(series.values) / kSquareFeetPerAcre;
        } else if (series.name == "elevation") {
            summary.peak_stage = largest(series.values);
        }
    }
}

// The core's own message, with the element it came from.
Result<void> with_element(const Element& element, Result<void> done) {
    if (done || done.error().kind != ErrorKind::Value) return done;
    return Error::value(std::string(kind_word(element)) + " '" + element.name +
                        "': " + done.error().message);
}

}  // namespace

Result<void> check_forcing(const BasinModel& model, const BasinForcing& forcing) {
    if (forcing.inputs.size() != model.elements.size()) {
        return Error::internal("one forcing slot per element");
    }
    for (std::size_t i = 0; i < model.elements.size(); ++i) {
        const Element& element = model.elements[i];
        if (!takes_series(element)) continue;
        const std::size_t length = forcing.inputs[i].data.size();
        const std::string prefix = std::string(kind_word(element)) + " '" + element.name + "': ";
        if (length == 0) return Error::value(prefix + "no series given");
        if (length != forcing.steps) {
            return Error::value(prefix + "the series has " +
                                format_int(static_cast<std::int64_t>(length)) +
                                " values; the basin's first one has " +
                                format_int(static_cast<std::int64_t>(forcing.steps)));
        }
        // An event sub-basin's rainfall must be depths, a source's flows numbers: the methods
        // would take a NaN as no rain (or empty a pool with it) and a negative depth as water
        // taken out. A daily series was checked when it was read.
        const auto* subbasin = std::get_if<Subbasin>(&element.method);
        Result<void> checked;
        if (subbasin == nullptr) {
            checked = check_finite("the flow", forcing.inputs[i].data);
        } else if (!subbasin->continuous && !forcing.front[i]) {
            checked = check_depths("rainfall", forcing.inputs[i].data);
        }
        if (!checked) return Error::value(prefix + checked.error().message);
    }
    return {};
}

std::vector<bool> upstream_of(const Network& network, std::size_t at) {
    std::vector<bool> needed(network.downstream.size(), false);
    needed[at] = true;
    // The order lists every element before the ones below it, so walking it backwards marks an
    // element after the one it flows into.
    for (auto it = network.order.rbegin(); it != network.order.rend(); ++it) {
        const std::size_t below = network.downstream[*it];
        if (below != kNoElement && needed[below]) needed[*it] = true;
    }
    return needed;
}

namespace {

Result<void> element_outflow(const BasinModel& model, const Network& network,
                             const BasinForcing& forcing, std::size_t i,
                             std::vector<std::vector<double>>& outflows,
                             std::vector<double>& inflow, InterruptCheck interrupt,
                             ElementDetails* details) {
    const Element& element = model.elements[i];
    std::vector<double>& out = outflows[i];
    Result<void> done;
    if (const auto* subbasin = std::get_if<Subbasin>(&element.method)) {
        if (subbasin->continuous) {
            done = continuous_outflow(*subbasin->continuous, subbasin->area, forcing.inputs[i].data,
                                      forcing.evapotranspiration[i], forcing.temperature[i], out,
                                      interrupt, details);
        } else if (forcing.front[i]) {
            auto rain =
                front_rain(*subbasin, model.time_step, forcing.inputs[i].data,
                           forcing.evapotranspiration[i], forcing.temperature[i], interrupt);
            done = rain ? subbasin_outflow(*subbasin, *rain, out, interrupt, details)
                        : Result<void>(std::move(rain).error());
        } else {
            done = subbasin_outflow(*subbasin, forcing.inputs[i], out, interrupt, details);
        }
    } else if (std::holds_alternative<Source>(element.method)) {
        out = forcing.inputs[i].data;
    } else if (std::holds_alternative<Junction>(element.method)) {
        add_inflows(network.upstream[i], outflows, out);
    } else {
        add_inflows(network.upstream[i], outflows, inflow);
        if (const auto* reach = std::get_if<Reach>(&element.method)) {
            done = reach_outflow(*reach, model.time_step, inflow, out, interrupt);
        } else {
            done = reservoir_outflow(std::get<Reservoir>(element.method), model.time_step, inflow,
                                     out, interrupt, details);
        }
    }
    return with_element(element, std::move(done));
}

}  // namespace

Result<void> check_elements(const BasinModel& model, const std::vector<bool>& skip) {
    for (std::size_t i = 0; i < model.elements.size(); ++i) {
        if (!skip.empty() && skip[i]) continue;
        auto checked = check_element(model.elements[i], model.time_step);
        if (!checked) return checked;
    }
    return {};
}

Result<void> run_elements(const BasinModel& model, const Network& network,
                          const BasinForcing& forcing, const std::vector<bool>& needed,
                          std::vector<std::vector<double>>& outflows, InterruptCheck interrupt,
                          std::vector<ElementDetails>* details) {
    auto checked = check_elements(model);
    if (!checked) return checked;
    outflows.resize(model.elements.size());
    if (details != nullptr) details->resize(model.elements.size());
    std::vector<double> inflow;
    for (const std::size_t i : network.order) {
        if (!needed.empty() && !needed[i]) continue;
        auto done = element_outflow(model, network, forcing, i, outflows, inflow, interrupt,
                                    details != nullptr ? &(*details)[i] : nullptr);
        if (!done) return done;
    }
    return {};
}

Result<void> run_elements_group(std::span<const BasinModel* const> models, const Network& network,
                                const BasinForcing& forcing, const std::vector<bool>& needed,
                                std::span<std::vector<std::vector<double>>* const> outflows,
                                GroupScratch& scratch, InterruptCheck interrupt) {
    const std::size_t members = models.size();
    for (std::size_t g = 0; g < members; ++g) outflows[g]->resize(models[g]->elements.size());
    std::vector<double> inflow;
    const Subbasin* subbasins[kGroupMembers];
    std::vector<double>* outs[kGroupMembers];
    for (const std::size_t i : network.order) {
        if (!needed.empty() && !needed[i]) continue;
        const auto* first = std::get_if<Subbasin>(&models[0]->elements[i].method);
        // A front without a snow store gives every member the same rain; a snow store's
        // members each make their own, one after another.
        if (first != nullptr && groups_with_loss(*first) && !(forcing.front[i] && first->snow)) {
            for (std::size_t g = 0; g < members; ++g) {
                subbasins[g] = &std::get<Subbasin>(models[g]->elements[i].method);
                outs[g] = &(*outflows[g])[i];
            }
            const IncrementalTimeSeries* rain = &forcing.inputs[i];
            Result<IncrementalTimeSeries> made = IncrementalTimeSeries{};
            if (forcing.front[i]) {
                made = front_rain(*first, models[0]->time_step, forcing.inputs[i].data,
                                  forcing.evapotranspiration[i], forcing.temperature[i], interrupt);
                if (made) rain = &made.value();
            }
            auto done = made ? subbasin_outflow_group({subbasins, members}, *rain, {outs, members},
                                                      scratch, interrupt)
                             : Result<void>(std::move(made).error());
            done = with_element(models[0]->elements[i], std::move(done));
            if (!done) return done;
            continue;
        }
        for (std::size_t g = 0; g < members; ++g) {
            auto done = element_outflow(*models[g], network, forcing, i, *outflows[g], inflow,
                                        interrupt, nullptr);
            if (!done) return done;
        }
    }
    return {};
}

std::vector<ElementSummary> summarize(const BasinModel& model, const Network& network,
                                      const BasinForcing& forcing,
                                      const std::vector<std::vector<double>>& outflows,
                                      const std::vector<ElementDetails>* details) {
    const double seconds = static_cast<double>(model.time_step);
    std::vector<ElementSummary> summaries(model.elements.size());
    for (const std::size_t i : network.order) {
        ElementSummary& summary = summaries[i];
        const std::vector<double>& out = outflows[i];
        bool found = false;
        for (std::size_t step = 0; step < out.size(); ++step) {
            const double flow = out[step];
            if (flow != flow) continue;
            if (!found || flow > summary.peak) {
                summary.peak = flow;
                summary.peak_step = static_cast<std::int64_t>(step);
                found = true;
            }
        }
        if (!found && !out.empty()) summary.peak = out[0];
        summary.volume_out = flow_volume(out, seconds);
        const Element& element = model.elements[i];
        if (const auto* subbasin = std::get_if<Subbasin>(&element.method)) {
            double depth = 0.0;
            for (const double rain : forcing.inputs[i].data) depth = depth + rain;
            // A continuous model's precipitation, and a daily front's, is in mm.
            const bool in_mm = subbasin->continuous || forcing.front[i];
            summary.volume_in =
                depth * subbasin->area / (in_mm ? kMillimetresPerFoot : kInchesPerFoot);
        } else if (std::holds_alternative<Source>(element.method)) {
            summary.volume_in = summary.volume_out;
        } else if (std::holds_alternative<Reservoir>(element.method)) {
            summary.reservoir = true;
            for (const std::size_t up : network.upstream[i]) {
                summary.volume_in = summary.volume_in + summaries[up].volume_out;
            }
            if (details != nullptr) summarize_pool((*details)[i], summary);
            // What the pool released by its own mass balance: the level pool integrates its
            // release second by second, which the samples at the step show only roughly.
            if (summary.storage_change == summary.storage_change) {
                summary.volume_out = summary.volume_in - summary.storage_change;
            }
        } else {
            for (const std::size_t up : network.upstream[i]) {
                summary.volume_in = summary.volume_in + summaries[up].volume_out;
            }
        }
        summary.balance = summary.volume_in - summary.volume_out;
    }
    return summaries;
}

}  // namespace vesparil
