// Python entries of the reach submodule: run_muskingum_routing, run_muskingum_cunge_routing.
#include <array>

#include "binding/entry.hpp"
#include "binding/module.hpp"
#include "binding/parse.hpp"
#include "binding/signals.hpp"
#include "binding/timedelta.hpp"
#include "binding/unlocked.hpp"
#include "init.hpp"
#include "reach_routing/muskingum.hpp"
#include "reach_routing/muskingum_cunge.hpp"
#include "utils/utils_classes.hpp"

namespace vesparil {

namespace {

using namespace binding;

constexpr const char* kWeightingWarning = "`x` is outside the recommended range [0.0, 0.5].";

// Issued through the Python-level warnings.warn, so filters and replacements of it apply.
bool warn_weighting_factor() {
    Ref warnings = Ref::steal(PyImport_ImportModule("warnings"));
    if (!warnings) return false;
    Ref warn = Ref::steal(PyObject_GetAttrString(warnings.get(), "warn"));
    if (!warn) return false;
    Ref message = Ref::steal(PyUnicode_FromString(kWeightingWarning));
    if (!message) return false;
    Ref result = Ref::steal(PyObject_CallOneArg(warn.get(), message.get()));
    return static_cast<bool>(result);
}

constexpr Parameters<5> kRunMuskingumRoutingParameters{
    "run_muskingum_routing()", {"inflow", "k", "x", "sub_reaches", "initial_outflow"}, 5};

PyObject* py_run_muskingum_routing(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                   PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        ContinuousTimeSeries inflow;
        Timedelta k;
        double x = 0.0;
        std::int64_t sub_reaches = 0;
        double initial_outflow = 0.0;
        if (!parse_call(kRunMuskingumRoutingParameters, args, nargs, kwnames, inflow, k, x,
                        sub_reaches, initial_outflow)) {
            return nullptr;
        }
        if (!weighting_factor_in_range(x) && !warn_weighting_factor()) return nullptr;
        Duration k_reach;
        if (!to_duration(k, k_reach)) return nullptr;
        const double dt = static_cast<double>(inflow.time_step);
        const std::uint64_t segments =
            sub_reaches > 1 ? static_cast<std::uint64_t>(sub_reaches) : 1;
        auto outflow = run_unlocked(work_units(inflow.data.size(), segments), [&] {
            return route_reach(std::move(inflow.data), dt, k_reach.as_seconds(), x, sub_reaches,
                               initial_outflow, python_signals());
        });
        if (!outflow) return raise(outflow.error());
        return new_instance(ContinuousTimeSeries{std::move(outflow).value(),
                                                 std::string(kKindDischarge), inflow.time_step})
            .release();
    });
}

PyMethodDef run_muskingum_routing_definition = {
    "run_muskingum_routing", as_method(py_run_muskingum_routing), kFastcallFlags,
    "run_muskingum_routing(inflow, k, x, sub_reaches, initial_outflow)\n--\n\n"
    "Routes an inflow hydrograph through a channel reach using the Muskingum method.\n\n"
    "The reach can be divided into `sub_reaches` equal segments, routed one after\n"
    "another with the same coefficients, which are derived from the per-segment\n"
    "storage constant `k / sub_reaches` and the weighting factor `x`. A Python\n"
    "`warnings.warn` is issued when `x` lies outside the physically meaningful\n"
    "range `[0.0, 0.5]`; routing still proceeds.\n\n"
    "# Arguments\n"
    "* `inflow` - Inflow hydrograph at the upstream end of the reach.\n"
    "* `k` - Storage time constant for the full reach (seconds); each segment\n"
    "  uses `k / sub_reaches`.\n"
    "* `x` - Weighting factor: `x=0` gives pure reservoir routing with maximum\n"
    "  attenuation, `x=0.5` approximates kinematic routing with no attenuation.\n"
    "* `sub_reaches` - Number of equal sub-reaches.\n"
    "* `initial_outflow` - Initial outflow value.\n\n"
    "# Returns\n"
    "A `ContinuousTimeSeries` (kind=discharge) at the time step of `inflow`."};

constexpr Parameters<9> kRunMuskingumCungeRoutingParameters{
    "run_muskingum_cunge_routing()",
    {"inflow", "length", "slope", "manning_n", "bottom_width", "side_slope", "reference_flow",
     "sub_reaches", "sub_steps"},
    5};

PyObject* py_run_muskingum_cunge_routing(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                         PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        ContinuousTimeSeries inflow;
        MuskingumCungeParameters parameters;
        ChannelSection& ch = parameters.channel;
        if (!parse_call(kRunMuskingumCungeRoutingParameters, args, nargs, kwnames, inflow,
                        ch.length, ch.slope, ch.manning_n, ch.bottom_width, ch.side_slope,
                        parameters.reference_flow, parameters.sub_reaches,
                        parameters.sub_steps)) {
            return nullptr;
        }
        // Each cell update is a few dozen operations and a power: count 16 per value and cell.
        auto outflow = run_unlocked(work_units(inflow.data.size(), 16), [&] {
            return route_muskingum_cunge(inflow.data, static_cast<double>(inflow.time_step),
                                         parameters, python_signals());
        });
        if (!outflow) return raise(outflow.error());
        return new_instance(ContinuousTimeSeries{std::move(outflow).value(),
                                                 std::string(kKindDischarge), inflow.time_step})
            .release();
    });
}

PyMethodDef run_muskingum_cunge_routing_definition = {
    "run_muskingum_cunge_routing", as_method(py_run_muskingum_cunge_routing), kFastcallFlags,
    "run_muskingum_cunge_routing(inflow, length, slope, manning_n, bottom_width, "
    "side_slope=0.0, reference_flow=None, sub_reaches=None, sub_steps=None)\n--\n\n"
    "Routes an inflow hydrograph through a prismatic channel by the Muskingum-Cunge\n"
    "method, its parameters computed from the channel's geometry at every sub-reach\n"
    "and sub-step (variable parameters), or at `reference_flow` (constant ones).\n\n"
    "# Arguments\n"
    "* `inflow` - Inflow hydrograph (cfs).\n"
    "* `length` - Reach length (ft).\n"
    "* `slope` - Bed slope (ft/ft).\n"
    "* `manning_n` - Manning's roughness coefficient.\n"
    "* `bottom_width` - Bottom width of the section (ft).\n"
    "* `side_slope` - Side slope, horizontal per vertical; 0 for a rectangle.\n"
    "* `reference_flow` - A flow (cfs) for constant parameters; None for variable ones.\n"
    "* `sub_reaches`, `sub_steps` - The grid; None lets the method choose it.\n\n"
    "# Returns\n"
    "A `ContinuousTimeSeries` (kind=discharge) at the time step of `inflow`."};

}  // namespace

bool init_reach(PyObject* module) {
    return binding::add_function(module, &run_muskingum_routing_definition) &&
           binding::add_function(module, &run_muskingum_cunge_routing_definition);
}

}  // namespace vesparil
