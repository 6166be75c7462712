// SCS curve-number loss: the runoff equation applied to the cumulative rainfall at the end of
// each step, the step's excess being the growth of the cumulative excess. Working from the
// cumulative depths (rather than step by step) is what the handbook prescribes for a storm
// hyetograph, and it keeps the sum of the excess equal to the event's runoff with no drift.
#include "rainfall_loss/curve_number.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/format.hpp"
#include "core/large_vector.hpp"

namespace vesparil {

Result<CurveNumberRetention> curve_number_retention(const CurveNumberParameters& parameters) {
    const double cn_stated = parameters.curve_number;
    if (!(cn_stated > 0.0 && cn_stated <= 100.0)) {
        return Error::value("curve_number must be > 0 and <= 100; got " +
                            format_double(cn_stated));
    }
    if (!(parameters.initial_abstraction_ratio >= 0.0)) {
        return Error::value("initial_abstraction_ratio must be >= 0; got " +
                            format_double(parameters.initial_abstraction_ratio));
    }
    // inf x S is NaN where S is 0 (CN 100): all the rain would be lost.
    if (std::isinf(parameters.initial_abstraction_ratio)) {
        return Error::value("initial_abstraction_ratio must be finite; got inf");
    }
    double cn = cn_stated;
    switch (parameters.antecedent_moisture) {
        case 1: cn = (4.2 * cn_stated) / (10.0 - 0.058 * cn_stated); break;
        case 2: break;
        case 3: cn = (23.0 * cn_stated) / (10.0 + 0.13 * cn_stated); break;
        default:
            return Error::value("antecedent_moisture must be 1, 2 or 3; got " +
                                format_int(parameters.antecedent_moisture));
    }
    const double s = 1000.0 / cn - 10.0;
    return CurveNumberRetention{s, parameters.initial_abstraction_ratio * s};
}

double advance_curve_number(const CurveNumberRetention& retention, CurveNumberState& state,
                            double rain) {
    state.rainfall = state.rainfall + rain;
    const double above = state.rainfall - retention.initial_abstraction;
    double cumulative = 0.0;
    if (above > 0.0) cumulative = (above * above) / (above + retention.maximum_retention);
    double excess = cumulative - state.excess;
    // The runoff equation's slope lies between 0 and 1; rounding alone could put one step's
    // excess a few units in the last place above its rain or below zero. What is held back
    // comes out in a later step, since the state counts the excess given so far.
    if (excess > rain) excess = rain;
    if (excess < 0.0) excess = 0.0;
    state.excess = state.excess + excess;
    return excess;
}

namespace {

// Steps run in blocks of this many, the state tested for NaN after each, so that little is
// computed past a NaN rain (the interruption is still asked every kInterruptInterval steps).
constexpr std::size_t kRainBlock = 4096;

// The first NaN of values[start, stop), or stop.
std::size_t first_nan(const double* values, std::size_t start, std::size_t stop) {
    while (start < stop && !std::isnan(values[start])) ++start;
    return start;
}

// The steps [start, stop), out of line: nothing inside is a call, so the running sums stay in
// registers (a loop that may call out keeps them in memory).
[[gnu::noinline]] void curve_number_steps(const CurveNumberRetention& retention,
                                          CurveNumberState& state, const double* rains,
                                          std::size_t start, std::size_t stop,
                                          std::vector<double>& excess, std::vector<double>& loss) {
    CurveNumberState running = state;
    for (std::size_t i = start; i < stop; ++i) {
        const double rain = rains[i];
        const double step_excess = advance_curve_number(retention, running, rain);
        append_reserved(excess, step_excess);
        append_reserved(loss, rain - step_excess);
    }
    state = running;
}

}  // namespace

Result<CurveNumberResult> run_curve_number(const IncrementalTimeSeries& rainfall,
                                           const CurveNumberParameters& parameters,
                                           InterruptCheck interrupt) {
    auto retention = curve_number_retention(parameters);
    if (!retention) return std::move(retention).error();
    const std::size_t n = rainfall.data.size();
    std::vector<double> excess;
    std::vector<double> loss;
    reserve_large(excess, n);
    reserve_large(loss, n);
    CurveNumberState state;
    InterruptCounter counter(interrupt);
    const double* const rains = rainfall.data.data();
    for (std::size_t start = 0; start < n;) {
        const std::size_t stop = start + std::min(n - start, kRainBlock);
        curve_number_steps(*retention, state, rains, start, stop, excess, loss);
        // A NaN rain would leave every later step no excess, all of its rain counted as loss:
        // the call is refused instead. Such a rain makes the cumulative depth NaN for good, so
        // only then is the block searched; a pass of its own over the rainfall made the run
        // about 12 % slower. (inf - inf makes it NaN as well: then every later block is searched.)
        if (std::isnan(state.rainfall)) {
            if (const std::size_t at = first_nan(rains, start, stop); at < stop) {
                return Error::value("rainfall has a missing value (NaN) at index " +
                                    format_int(static_cast<std::int64_t>(at)));
            }
        }
        if (counter.stop_requested_after(stop - start)) return Error::interrupted();
        start = stop;
    }
    const std::string kind(kKindRainfall);
    return CurveNumberResult{IncrementalTimeSeries{std::move(excess), kind, rainfall.time_step},
                             IncrementalTimeSeries{std::move(loss), kind, rainfall.time_step}};
}

}  // namespace vesparil
