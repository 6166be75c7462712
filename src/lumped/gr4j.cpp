// GR4J (Perrin, Michel and Andreassian 2003); see the header for the equations and units.
#include "lumped/gr4j.hpp"

#include <cmath>
#include <cstdint>

#include "core/format.hpp"
#include "core/large_vector.hpp"

namespace vesparil {

namespace {

// A day's own arithmetic in the interrupt counter's units: some 150 ns, the cost of a few dozen
// of the simple steps the counter was sized for.
constexpr std::uint64_t kDayWork = 16;

// Ordinates of a unit hydrograph whose S-curve reaches 1 at `base` days.
std::size_t ordinate_count(double base) { return static_cast<std::size_t>(std::ceil(base)); }

// A day's work with the unit hydrographs' `ordinates` (both): an ordinate (a multiply-add, a
// write and a sum) costs about 1 ns, so eight of them make one of the day's units of some 9 ns.
std::uint64_t day_work(std::size_t ordinates) { return kDayWork + ordinates / 8; }

double s_curve1(double t, double x4) {
    if (t <= 0.0) return 0.0;
    if (t < x4) return std::pow(t / x4, 2.5);
    return 1.0;
}

double s_curve2(double t, double x4) {
    if (t <= 0.0) return 0.0;
    if (t <= x4) return 0.5 * std::pow(t / x4, 2.5);
    if (t < 2.0 * x4) return 1.0 - 0.5 * std::pow(2.0 - t / x4, 2.5);
    return 1.0;
}

std::vector<double> ordinates(double (*s_curve)(double, double), double base, double x4) {
    const std::size_t count = ordinate_count(base);
    std::vector<double> values(count);
    for (std::size_t j = 1; j <= count; ++j) {
        const double t = static_cast<double>(j);
        values[j - 1] = s_curve(t, x4) - s_curve(t - 1.0, x4);
    }
    return values;
}

// Adds the day's input to a unit hydrograph, returns what leaves it today and moves the rest one
// day closer, adding what stays to `held`.
double convolve(std::vector<double>& pending, const std::vector<double>& uh, double input,
                double& held) {
    const std::size_t last = pending.size() - 1;
    const double out = pending[0] + uh[0] * input;
    for (std::size_t k = 0; k < last; ++k) {
        pending[k] = pending[k + 1] + uh[k + 1] * input;
        held += pending[k];
    }
    pending[last] = 0.0;
    return out;
}

}  // namespace

Result<Gr4jParameters> make_gr4j_parameters(double x1, double x2, double x3, double x4) {
    // An infinite store passes "> 0" and turns every flow into NaN.
    if (!(x1 > 0.0)) return Error::value("x1 must be > 0");
    if (!std::isfinite(x1)) return Error::value("x1 must be finite");
    if (!std::isfinite(x2)) return Error::value("x2 must be finite");
    if (!(x3 > 0.0)) return Error::value("x3 must be > 0");
    if (!std::isfinite(x3)) return Error::value("x3 must be finite");
    if (!(x4 > 0.0 && x4 <= kGr4jMaxX4)) {
        return Error::value("x4 must be > 0 and at most " + format_double(kGr4jMaxX4));
    }
    return Gr4jParameters{x1, x2, x3, x4};
}

std::uint64_t gr4j_day_work(const Gr4jParameters& parameters) {
    return day_work(ordinate_count(parameters.x4) + ordinate_count(2.0 * parameters.x4));
}

Gr4jOrdinates gr4j_ordinates(double x4) {
    return {ordinates(s_curve1, x4, x4), ordinates(s_curve2, 2.0 * x4, x4)};
}

Gr4jState gr4j_initial_state(const Gr4jParameters& parameters, const Gr4jOrdinates& ordinates,
                             double production_fraction, double routing_fraction) {
    return {production_fraction * parameters.x1, routing_fraction * parameters.x3,
            std::vector<double>(ordinates.uh1.size(), 0.0),
            std::vector<double>(ordinates.uh2.size(), 0.0)};
}

bool gr4j_advance(const Gr4jParameters& parameters, const Gr4jOrdinates& ordinates,
                  Gr4jState& state, std::span<const double> precipitation,
                  std::span<const double> evaporation, std::size_t first_kept, Gr4jSeries& out,
                  InterruptCounter& counter) {
    const double x1 = parameters.x1;
    const double x2 = parameters.x2;
    const double x3 = parameters.x3;
    double s = state.production;
    double r = state.routing;
    // A day convolves every ordinate: a long unit hydrograph makes the pieces of days shorter.
    const std::uint64_t work = day_work(ordinates.uh1.size() + ordinates.uh2.size());
    const bool done = for_each_step_interruptibly(precipitation.size(), work, counter,
                                                  [&](std::size_t i) {
        const double p = precipitation[i];
        const double e = evaporation[i];
        double pn = 0.0;
        double en = 0.0;
        double met = 0.0;  // the part of E met by P
        if (p >= e) {
            pn = p - e;
            met = e;
        } else {
            en = e - p;
            met = p;
        }
        double ps = 0.0;
        double es = 0.0;
        if (pn > 0.0) {
            const double t = std::tanh(pn / x1);
            ps = (x1 * (1.0 - (s / x1) * (s / x1)) * t) / (1.0 + (s / x1) * t);
        }
        if (en > 0.0) {
            const double t = std::tanh(en / x1);
            es = (s * (2.0 - s / x1) * t) / (1.0 + (1.0 - s / x1) * t);
        }
        s = s - es + ps;
        const double perc =
            s * (1.0 - std::pow(1.0 + std::pow((4.0 / 9.0) * (s / x1), 4.0), -0.25));
        s = s - perc;
        const double pr = perc + (pn - ps);

        double held = 0.0;
        const double q9 = convolve(state.pending1, ordinates.uh1, 0.9 * pr, held);
        const double q1 = convolve(state.pending2, ordinates.uh2, 0.1 * pr, held);

        const double f = x2 * std::pow(r / x3, 3.5);
        const double filled = r + q9 + f;
        double gained = f;
        if (filled < 0.0) {
            gained = -(r + q9);
            r = 0.0;
        } else {
            r = filled;
        }
        const double qr = r * (1.0 - std::pow(1.0 + std::pow(r / x3, 4.0), -0.25));
        r = r - qr;
        double qd = q1 + f;
        double exchanged = f;
        if (qd < 0.0) {
            exchanged = -q1;
            qd = 0.0;
        }
        const double q = qr + qd;

        if (i >= first_kept) {
            out.flow.push_back(q);
            out.production_store.push_back(s);
            out.routing_store.push_back(r);
            out.unit_hydrograph_store.push_back(held);
            out.actual_evapotranspiration.push_back(es + met);
            out.exchange.push_back(gained + exchanged);
        }
    });
    state.production = s;
    state.routing = r;
    return done;
}

Result<Gr4jSeries> run_gr4j(std::span<const double> precipitation,
                            std::span<const double> evaporation, const Gr4jParameters& parameters,
                            double production_fraction, double routing_fraction,
                            std::size_t warmup, InterruptCheck interrupt) {
    if (precipitation.size() != evaporation.size()) {
        return Error::value("precipitation and evapotranspiration must have the same length");
    }
    if (!(production_fraction >= 0.0 && production_fraction <= 1.0)) {
        return Error::value("initial_production must be between 0 and 1");
    }
    if (!(routing_fraction >= 0.0 && routing_fraction <= 1.0)) {
        return Error::value("initial_routing must be between 0 and 1");
    }
    if (warmup > precipitation.size()) {
        return Error::value("warmup (" + format_int(static_cast<std::int64_t>(warmup)) +
                            ") is longer than the series (" +
                            format_int(static_cast<std::int64_t>(precipitation.size())) + ")");
    }
    const Gr4jOrdinates ordinates = gr4j_ordinates(parameters.x4);
    Gr4jState state =
        gr4j_initial_state(parameters, ordinates, production_fraction, routing_fraction);
    const std::size_t kept = precipitation.size() - warmup;
    Gr4jSeries out;
    for (auto* series : {&out.flow, &out.production_store, &out.routing_store,
                         &out.unit_hydrograph_store, &out.actual_evapotranspiration,
                         &out.exchange}) {
        reserve_large(*series, kept);
    }
    InterruptCounter counter(interrupt);
    if (!gr4j_advance(parameters, ordinates, state, precipitation, evaporation, warmup, out,
                      counter)) {
        return Error::interrupted();
    }
    return out;
}

}  // namespace vesparil
