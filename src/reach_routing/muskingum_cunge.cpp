// Muskingum-Cunge routing on a grid of sub-reaches and sub-steps, the reach kept steady at the
// first inflow before the run. Each cell update finds the normal depth of its reference flow by
// Newton's method started from that cell's previous depth, which takes two or three iterations.
#include "reach_routing/muskingum_cunge.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

#include "core/format.hpp"

namespace vesparil {

namespace {

constexpr double kManning = 1.49;
constexpr double kFlowFloor = 1.0e-3;  // share of the inflow's peak
constexpr double kMaxDivisions = 1000.0;

struct Manning {
    double flow;
    double slope;  // dQ/dy
    double top_width;
};

Manning manning(const ChannelSection& ch, double y) {
    const double wall = std::sqrt(1.0 + ch.side_slope * ch.side_slope);
    const double area = (ch.bottom_width + ch.side_slope * y) * y;
    const double perimeter = ch.bottom_width + 2.0 * y * wall;
    const double top = ch.bottom_width + 2.0 * ch.side_slope * y;
    const double radius = area / perimeter;
    const double q = (((kManning / ch.manning_n) * area) * std::pow(radius, 2.0 / 3.0)) *
                     std::sqrt(ch.slope);
    const double dq = q * ((5.0 / 3.0) * (top / area) - (2.0 / 3.0) * ((2.0 * wall) / perimeter));
    return Manning{q, dq, top};
}

// Normal depth of `flow` > 0, Newton's method from `guess` inside a bracket that only shrinks.
double normal_depth(const ChannelSection& ch, double flow, double guess) {
    double low = 0.0;
    double high = guess > 0.0 ? guess : 1.0;
    for (int i = 0; i < 2100 && manning(ch, high).flow < flow; ++i) high = high * 2.0;
    double y = guess > 0.0 ? guess : high * 0.5;
    for (int i = 0; i < 100; ++i) {
        const Manning m = manning(ch, y);
        if (m.flow < flow) low = y; else high = y;
        double next = y - (m.flow - flow) / m.slope;
        if (!(next > low && next < high)) next = (low + high) * 0.5;
        const bool settled = std::fabs(next - y) <= 1.0e-12 * next;
        y = next;
        if (settled) break;
    }
    return y;
}

SectionHydraulics hydraulics_at(const ChannelSection& ch, double flow, double& depth) {
    depth = normal_depth(ch, flow, depth);
    const Manning m = manning(ch, depth);
    return SectionHydraulics{m.slope / m.top_width, flow / m.top_width};
}

Error refused(const char* what, double value) {
    return Error::value(std::string(what) + "; got " + format_double(value));
}

std::size_t division(double ratio) {
    const double whole = std::ceil(ratio);
    return whole >= 1.0 ? static_cast<std::size_t>(std::min(whole, kMaxDivisions)) : 1;
}

}  // namespace

SectionHydraulics section_hydraulics(const ChannelSection& channel, double flow) {
    double depth = 0.0;
    return hydraulics_at(channel, flow, depth);
}

Result<std::vector<double>> route_muskingum_cunge(const std::vector<double>& inflow, double dt,
                                                  const MuskingumCungeParameters& parameters,
                                                  InterruptCheck interrupt) {
    const ChannelSection& ch = parameters.channel;
    if (!(ch.length > 0.0 && std::isfinite(ch.length))) {
        return refused("length must be > 0", ch.length);
    }
    if (!(ch.slope > 0.0 && std::isfinite(ch.slope))) return refused("slope must be > 0", ch.slope);
    if (!(ch.manning_n > 0.0 && std::isfinite(ch.manning_n))) {
        return refused("manning_n must be > 0", ch.manning_n);
    }
    if (!(ch.bottom_width >= 0.0 && std::isfinite(ch.bottom_width))) {
        return refused("bottom_width must be >= 0", ch.bottom_width);
    }
    if (!(ch.side_slope >= 0.0 && std::isfinite(ch.side_slope))) {
        return refused("side_slope must be >= 0", ch.side_slope);
    }
    if (!(ch.bottom_width > 0.0 || ch.side_slope > 0.0)) {
        return Error::value("bottom_width and side_slope cannot both be 0");
    }
    if (parameters.reference_flow && !(*parameters.reference_flow > 0.0 &&
                                       std::isfinite(*parameters.reference_flow))) {
        return refused("reference_flow must be > 0", *parameters.reference_flow);
    }
    for (const auto& [name, given] : {std::pair{"sub_reaches", parameters.sub_reaches},
                                      std::pair{"sub_steps", parameters.sub_steps}}) {
        if (given && !(*given >= 1 && *given <= 100000)) {
            return Error::value(std::string(name) + " must be between 1 and 100000; got " +
                                format_int(*given));
        }
    }
    const std::size_t n = inflow.size();
    double peak = 0.0;
    for (double q : inflow) {
        if (q > peak) peak = q;
    }
    // Nothing ever flows: nothing to route.
    if (n < 2 || !(peak > 0.0 && std::isfinite(peak))) return inflow;
    const double floor_flow = kFlowFloor * peak;

    double depth = 0.0;
    const SectionHydraulics at_peak = hydraulics_at(ch, peak, depth);
    std::size_t m = division((at_peak.celerity * dt) / ch.length);
    if (parameters.sub_steps) m = static_cast<std::size_t>(*parameters.sub_steps);
    const double step = dt / static_cast<double>(m);
    // A flow beyond the arithmetic's range leaves a NaN celerity: one cell then.
    const double fit = std::floor(ch.length / (at_peak.celerity * step));
    std::size_t cells = fit >= 1.0 ? static_cast<std::size_t>(std::min(fit, kMaxDivisions)) : 1;
    if (parameters.sub_reaches) cells = static_cast<std::size_t>(*parameters.sub_reaches);
    const double dx = ch.length / static_cast<double>(cells);
    const double half = step / 2.0;

    // K and X of a reference flow, the cell's depth carried to start the next Newton search.
    auto coefficients = [&](double reference, double& cell_depth, double& k, double& x) {
        const SectionHydraulics h = hydraulics_at(ch, std::max(reference, floor_flow), cell_depth);
        k = dx / h.celerity;
        x = (1.0 - h.unit_flow / ((ch.slope * h.celerity) * dx)) / 2.0;
    };
    const bool fixed = parameters.reference_flow.has_value();
    double k_fixed = 0.0;
    double x_fixed = 0.0;
    if (fixed) coefficients(*parameters.reference_flow, depth, k_fixed, x_fixed);

    std::vector<double> old_flow(cells + 1, inflow[0]);
    std::vector<double> new_flow(cells + 1, inflow[0]);
    std::vector<double> depths(cells, depth);
    std::vector<double> storage(cells, 0.0);
    for (std::size_t j = 0; j < cells; ++j) {
        double k = k_fixed;
        double x = x_fixed;
        if (!fixed) coefficients(inflow[0], depths[j], k, x);
        storage[j] = k * (x * inflow[0] + (1.0 - x) * inflow[0]);
    }

    std::vector<double> outflow;
    outflow.reserve(n);
    outflow.push_back(inflow[0]);
    InterruptCounter counter(interrupt);
    for (std::size_t i = 1; i < n; ++i) {
        const double from = inflow[i - 1];
        const double rise = inflow[i] - from;
        for (std::size_t s = 1; s <= m; ++s) {
            new_flow[0] = s == m ? inflow[i]
                                 : from + rise * (static_cast<double>(s) / static_cast<double>(m));
            for (std::size_t j = 0; j < cells; ++j) {
                const double in_old = old_flow[j];
                const double in_new = new_flow[j];
                const double out_old = old_flow[j + 1];
                double k = k_fixed;
                double x = x_fixed;
                if (!fixed) coefficients(((in_old + in_new) + out_old) / 3.0, depths[j], k, x);
                const double moved = half * ((in_old + in_new) - out_old);
                const double out_new =
                    ((storage[j] + moved) - (k * x) * in_new) / (k * (1.0 - x) + half);
                storage[j] = (storage[j] + moved) - half * out_new;
                new_flow[j + 1] = out_new;
            }
            std::swap(old_flow, new_flow);
            // A cell update with its Newton search costs some hundred ns: counted as 64 units.
            if (counter.stop_requested_after(cells * 64)) return Error::interrupted();
        }
        outflow.push_back(old_flow[cells]);
    }
    return outflow;
}

}  // namespace vesparil
