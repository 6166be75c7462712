// Sub-basin members advanced together; see the header.
#include "basin/run/subbasin_group.hpp"

#include <algorithm>
#include <utility>

#include "baseflow/linear_reservoir.hpp"
#include "basin/run/element_flow.hpp"
#include "core/units.hpp"
#include "rainfall_loss/deficit_and_constant.hpp"

namespace vesparil {

namespace {

// Steps between two questions to `interrupt`.
constexpr std::size_t kStepsPerCheck = 1 << 16;

template <std::size_t G>
void loss_group(const DeficitConstants* constants, const double* rain, std::size_t begin,
                std::size_t end, double* deficit, double* const* excess,
                double* const* infiltrated) {
    // Locals, unrolled over the members, so the deficits and the pointers stay in registers.
    DeficitConstants k[G];
    double d[G];
    double* ex[G];
    double* lo[G];
#pragma GCC unroll 4
    for (std::size_t g = 0; g < G; ++g) {
        k[g] = constants[g];
        d[g] = deficit[g];
        ex[g] = excess[g];
        lo[g] = infiltrated[g];
    }
    for (std::size_t i = begin; i < end; ++i) {
        const double p = rain[i];
#pragma GCC unroll 4
        for (std::size_t g = 0; g < G; ++g) {
            double step_excess = 0.0;
            double step_loss = 0.0;
            deficit_step(k[g], p, d[g], step_excess, step_loss);
            ex[g][i] = step_excess;
            lo[g][i] = step_loss;
        }
    }
#pragma GCC unroll 4
    for (std::size_t g = 0; g < G; ++g) deficit[g] = d[g];
}

// Steps whose layer inflows are formed together before the reservoirs pass over them: the
// divisions of the inflow then run side by side instead of inside the recurrence.
constexpr std::size_t kInflowBlock = 256;

// The layers' inflows of steps [begin, end) for every member: flows[(g * layers + l) *
// kInflowBlock + i - begin].
template <std::size_t G>
void layer_inflows(std::size_t layers, const double* fractions, const double* area_factor,
                   double dt_hr, std::size_t begin, std::size_t end,
                   double* const* infiltrated, double* flows) {
    for (std::size_t g = 0; g < G; ++g) {
        for (std::size_t l = 0; l < layers; ++l) {
            const double fraction = fractions[g * layers + l];
            double* out = flows + (g * layers + l) * kInflowBlock;
            const double* rain = infiltrated[g];
            for (std::size_t i = begin; i < end; ++i) {
                out[i - begin] = layer_inflow(rain[i], fraction, dt_hr, area_factor[g]);
            }
        }
    }
}

// Every member's layers in turn, step by step, from inflows formed beforehand. `states` holds,
// member after member, each layer's reservoirs; `weights` each member's layers in order.
template <std::size_t G>
void route_group(const std::vector<std::size_t>& reservoirs, const LayerWeights* weights,
                 std::size_t begin, std::size_t end, const double* flows, double* states,
                 std::size_t states_per_member, double* const* base) {
    const std::size_t layers = reservoirs.size();
    for (std::size_t i = begin; i < end; ++i) {
#pragma GCC unroll 4
        for (std::size_t g = 0; g < G; ++g) {
            double* q = states + g * states_per_member;
            double total = 0.0;
            for (std::size_t l = 0; l < layers; ++l) {
                const LayerWeights& w = weights[g * layers + l];
                double flow = flows[(g * layers + l) * kInflowBlock + (i - begin)];
                for (std::size_t j = 0; j < reservoirs[l]; ++j) {
                    flow = reservoir_step(*q, flow, w.c, w.d);
                    *q++ = flow;
                }
                total = l == 0 ? flow + 0.0 : flow + total;
            }
            base[g][i] = total;
        }
    }
}

// The common case of two layers of one reservoir each, with every state in a register.
template <std::size_t G>
void route_group_two_single(const LayerWeights* weights, std::size_t begin, std::size_t end,
                            const double* flows, double* states, double* const* base) {
    double q0[G];
    double q1[G];
    LayerWeights w0[G];
    LayerWeights w1[G];
    const double* f0[G];
    const double* f1[G];
    double* out[G];
#pragma GCC unroll 4
    for (std::size_t g = 0; g < G; ++g) {
        q0[g] = states[g * 2];
        q1[g] = states[g * 2 + 1];
        w0[g] = weights[g * 2];
        w1[g] = weights[g * 2 + 1];
        f0[g] = flows + (g * 2) * kInflowBlock;
        f1[g] = flows + (g * 2 + 1) * kInflowBlock;
        out[g] = base[g];
    }
    for (std::size_t i = begin; i < end; ++i) {
#pragma GCC unroll 4
        for (std::size_t g = 0; g < G; ++g) {
            q0[g] = reservoir_step(q0[g], f0[g][i - begin], w0[g].c, w0[g].d);
            q1[g] = reservoir_step(q1[g], f1[g][i - begin], w1[g].c, w1[g].d);
            out[g][i] = q1[g] + (q0[g] + 0.0);
        }
    }
#pragma GCC unroll 4
    for (std::size_t g = 0; g < G; ++g) {
        states[g * 2] = q0[g];
        states[g * 2 + 1] = q1[g];
    }
}

template <std::size_t G>
Result<void> advance(std::span<const Subbasin* const> members, const IncrementalTimeSeries& rain,
                     GroupScratch& scratch, InterruptCheck interrupt) {
    const std::size_t steps = rain.data.size();
    const double dt_hr = static_cast<double>(rain.time_step) / kSecondsPerHour;
    const bool has_loss = members[0]->loss.has_value();
    const auto& layers = members[0]->baseflow;
    std::vector<std::size_t> reservoirs;
    for (const auto& [name, layer] : layers) reservoirs.push_back(layer.num_reservoir);

    DeficitConstants constants[G];
    double deficit[G];
    double* excess[G];
    double* infiltrated[G];
    double* base[G];
    double area_factor[G];
    std::vector<LayerWeights> weights;
    std::vector<double> fractions;
    std::size_t states_per_member = 0;
    for (const std::size_t count : reservoirs) states_per_member += count;
    const bool two_single =
        reservoirs.size() == 2 && reservoirs[0] == 1 && reservoirs[1] == 1;
    scratch.flows.resize(G * reservoirs.size() * kInflowBlock);
    scratch.states.clear();
    for (std::size_t g = 0; g < G; ++g) {
        const Subbasin& member = *members[g];
        if (has_loss) {
            const auto& loss = std::get<DeficitAndConstantLoss>(*member.loss);
            constants[g] = deficit_constants(rain.time_step, loss.maximum_deficit,
                                             loss.constant_rate, loss.recovery_seconds);
            deficit[g] = loss.initial_deficit;
        }
        scratch.excess[g].resize(steps);
        scratch.infiltrated[g].assign(steps, 0.0);
        scratch.base[g].resize(steps);
        excess[g] = scratch.excess[g].data();
        infiltrated[g] = scratch.infiltrated[g].data();
        base[g] = scratch.base[g].data();
        area_factor[g] = member.area * kCfsPerAcreInchPerHour;
        auto fractions_ok = check_total_fraction(member.baseflow);
        if (!fractions_ok) return fractions_ok;
        for (const auto& [name, layer] : member.baseflow) {
            auto w = layer_weights(layer, dt_hr);
            if (!w) return std::move(w).error();
            weights.push_back(w.value());
            fractions.push_back(layer.gw_fraction);
            scratch.states.insert(scratch.states.end(), layer.num_reservoir, layer.initial_q);
        }
        if (!has_loss) scratch.excess[g] = rain.data;
    }
    const double* rain_values = rain.data.data();
    for (std::size_t begin = 0; begin < steps; begin += kStepsPerCheck) {
        const std::size_t end = std::min(steps, begin + kStepsPerCheck);
        if (has_loss) {
            loss_group<G>(constants, rain_values, begin, end, deficit, excess, infiltrated);
        }
        for (std::size_t first = begin; first < end && !layers.empty(); first += kInflowBlock) {
            const std::size_t last = std::min(end, first + kInflowBlock);
            layer_inflows<G>(layers.size(), fractions.data(), area_factor, dt_hr, first, last,
                             infiltrated, scratch.flows.data());
            if (two_single) {
                route_group_two_single<G>(weights.data(), first, last, scratch.flows.data(),
                                          scratch.states.data(), base);
            } else {
                route_group<G>(reservoirs, weights.data(), first, last, scratch.flows.data(),
                               scratch.states.data(), states_per_member, base);
            }
        }
        if (end < steps && interrupt.stop_requested()) return Error::interrupted();
    }
    return {};
}

}  // namespace

bool groups_with_loss(const Subbasin& subbasin) {
    if (subbasin.continuous) return false;
    return !subbasin.loss || std::holds_alternative<DeficitAndConstantLoss>(*subbasin.loss);
}

Result<void> subbasin_outflow_group(std::span<const Subbasin* const> members,
                                    const IncrementalTimeSeries& rain,
                                    std::span<std::vector<double>* const> outs,
                                    GroupScratch& scratch, InterruptCheck interrupt) {
    Result<void> advanced;
    switch (members.size()) {
        case 1: advanced = advance<1>(members, rain, scratch, interrupt); break;
        case 2: advanced = advance<2>(members, rain, scratch, interrupt); break;
        case 3: advanced = advance<3>(members, rain, scratch, interrupt); break;
        case 4: advanced = advance<4>(members, rain, scratch, interrupt); break;
        default: return Error::internal("a group holds 1 to 4 members");
    }
    if (!advanced) return advanced;

    const std::size_t steps = rain.data.size();
    for (std::size_t g = 0; g < members.size(); ++g) {
        const Subbasin& member = *members[g];
        auto direct = direct_runoff(member.transform, scratch.excess[g], rain.time_step,
                                    member.area, interrupt);
        if (!direct) return std::move(direct).error();
        const std::vector<double>& runoff = direct.value();
        std::vector<double>& out = *outs[g];
        out.resize(steps);
        if (member.baseflow.empty()) {
            for (std::size_t i = 0; i < steps; ++i) out[i] = runoff[i] + 0.0;
            continue;
        }
        const std::vector<double>& total = scratch.base[g];
        double initial = 0.0;
        for (const auto& [name, layer] : member.baseflow) initial = initial + layer.initial_q;
        if (steps > 0) out[0] = runoff[0] + initial;
        for (std::size_t i = 1; i < steps; ++i) out[i] = runoff[i] + total[i - 1];
    }
    return {};
}

}  // namespace vesparil
