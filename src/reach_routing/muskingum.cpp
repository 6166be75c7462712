// Muskingum routing (McCarthy 1938), the storage S = K [x I + (1 - x) O] solved with the
// centred finite difference over one step dt:
//
//   O[i] = C2 O[i-1] + (C0 I[i] + C1 I[i-1])
//   C0 = (dt - 2Kx) / E,  C1 = (2Kx + dt) / E,  C2 = (2K(1 - x) - dt) / E,  E = dt + 2K(1 - x)
//
// C0 + C1 + C2 = 1, so a steady inflow stays steady. The coefficients and the step are evaluated
// in exactly this operation order (twoK = K + K first, the two inflow terms summed before the
// outflow term is added) because results are compared to the last bit.
#include "reach_routing/muskingum.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace vesparil {

Result<std::vector<double>> muskingum_routing_rs(std::vector<double> flow, double dt, double k,
                                                 double x, std::optional<double> initial_outflow,
                                                 InterruptCheck interrupt) {
    if (flow.empty()) {
        return Error::internal("index out of bounds: the len is 0 but the index is 0");
    }
    const std::size_t n = flow.size();

    // The outflow overwrites the inflow in place; only the previous inflow value is still needed
    // once its slot holds the previous outflow.
    double previous_inflow = flow[0];
    flow[0] = initial_outflow.has_value() ? *initial_outflow : previous_inflow;
    if (n == 1) return flow;

    const double two_k = k + k;
    const double a = (1.0 - x) * two_k;
    const double b = two_k * x;
    const double e = dt + a;
    const double c0 = (dt - b) / e;
    const double c1 = (b + dt) / e;
    const double c2 = (a - dt) / e;

    double previous_outflow = flow[0];
    // In blocks, with a question to `interrupt` between two of them.
    for (std::size_t start = 1; start < n; start += kInterruptInterval) {
        const std::size_t end = std::min(n, start + static_cast<std::size_t>(kInterruptInterval));
        for (std::size_t i = start; i < end; ++i) {
            const double current_inflow = flow[i];
            const double inflow_terms = c0 * current_inflow + c1 * previous_inflow;
            previous_outflow = c2 * previous_outflow + inflow_terms;
            flow[i] = previous_outflow;
            previous_inflow = current_inflow;
        }
        if (end < n && interrupt.stop_requested()) return Error::interrupted();
    }
    return flow;
}

Result<std::vector<double>> route_reach(std::vector<double> inflow, double dt,
                                        double k_reach_seconds, double x, std::int64_t sub_reaches,
                                        double initial_outflow, InterruptCheck interrupt) {
    // No guard on sub_reaches: 0 gives an infinite (or NaN) segment constant, a negative count a
    // negative one, and in both cases a single segment is routed.
    const double k_segment = k_reach_seconds / static_cast<double>(sub_reaches);

    Result<std::vector<double>> outflow =
        muskingum_routing_rs(std::move(inflow), dt, k_segment, x, initial_outflow, interrupt);
    std::uint64_t work_since_check = 0;
    for (std::int64_t segment = 1; segment < sub_reaches && outflow.ok(); ++segment) {
        // A single value passes every further segment unchanged.
        if (outflow.value().size() == 1) break;
        work_since_check += outflow.value().size();
        if (work_since_check >= kInterruptInterval) {
            work_since_check = 0;
            if (interrupt.stop_requested()) return Error::interrupted();
        }
        // Each further segment starts from its own first inflow, the previous first outflow.
        outflow = muskingum_routing_rs(std::move(outflow.value()), dt, k_segment, x, std::nullopt,
                                       interrupt);
    }
    return outflow;
}

bool weighting_factor_in_range(double x) { return x >= 0.0 && x <= 0.5; }

}  // namespace vesparil
