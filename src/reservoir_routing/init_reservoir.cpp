// Python entries of the reservoir submodule: the reservoir_utils submodule (rating curves and
// outlets), run_level_pool_routing, LevelPoolResult and run_storage_indication_routing.
#include <array>

#include "binding/attributes.hpp"
#include "binding/containers.hpp"
#include "binding/entry.hpp"
#include "binding/first_of.hpp"
#include "binding/module.hpp"
#include "binding/parse.hpp"
#include "binding/signals.hpp"
#include "binding/unlocked.hpp"
#include "init.hpp"
#include "reservoir_routing/reservoir_classes.hpp"
#include "reservoir_routing/storage_indication.hpp"
#include "reservoir_routing/reservoir_utils/reservoir_utils_classes.hpp"
#include "utils/utils_classes.hpp"

namespace vesparil {

namespace {

using namespace binding;

PyObject* py_level_pool_result_get_reservoir_individual_outflows(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        return with_shared<LevelPoolResult>(
                   self,
                   [](const LevelPoolResult& result) {
                       return to_python_dict(result.reservoir_individual_outflows, NewInstance{});
                   })
            .release();
    });
}

PyGetSetDef level_pool_result_getset[] = {
    {"reservoir_storage", get_record_field<LevelPoolResult, &LevelPoolResult::reservoir_storage>,
     nullptr, "Reservoir storage volume at each output time step.", nullptr},
    {"reservoir_elevation",
     get_record_field<LevelPoolResult, &LevelPoolResult::reservoir_elevation>, nullptr,
     "Water surface elevation at each output time step.", nullptr},
    {"reservoir_total_outflow",
     get_record_field<LevelPoolResult, &LevelPoolResult::reservoir_total_outflow>, nullptr,
     "Combined outflow from all outlets at each output time step.", nullptr},
    {"reservoir_individual_outflows", py_level_pool_result_get_reservoir_individual_outflows,
     nullptr, "Per-outlet outflow time series keyed by outlet name.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot level_pool_result_slots[] = {
    {Py_tp_doc, const_cast<char*>("Results from a level pool routing simulation.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<LevelPoolResult>)},
    {Py_tp_getset, level_pool_result_getset},
    {0, nullptr},
};

constexpr Parameters<4> kRunLevelPoolRoutingParameters{
    "run_level_pool_routing()",
    {"inflow", "initial_elevation", "elevation_storage", "discharge_info"},
    4};

PyObject* py_run_level_pool_routing(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                    PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        ContinuousTimeSeries inflow;
        double initial_elevation = 0.0;
        ElevationStorage curve;
        NamedComponents<DischargeInfo> outlets;
        if (!parse_call(kRunLevelPoolRoutingParameters, args, nargs, kwnames, inflow,
                        initial_elevation, curve, outlets)) {
            return nullptr;
        }
        // One sub-step per second of the run, each asking every outlet.
        const std::uint64_t seconds =
            work_units(static_cast<std::uint64_t>(inflow.time_step > 0 ? inflow.time_step : 0),
                       inflow.data.size());
        auto routed = run_unlocked(work_units(seconds, outlets.size() + 1), [&] {
            return run_level_pool_routing(inflow, initial_elevation, curve, outlets,
                                          python_signals());
        });
        if (!routed) return raise(routed.error());
        return new_instance(std::move(routed).value()).release();
    });
}

PyMethodDef run_level_pool_routing_definition = {
    "run_level_pool_routing", as_method(py_run_level_pool_routing), kFastcallFlags,
    "run_level_pool_routing(inflow, initial_elevation, elevation_storage, discharge_info)\n--\n\n"
    "Performs level pool (modified Puls) routing for a reservoir.\n\n"
    "Integrates the mass balance equation `dS/dt = I - O` over the inflow\n"
    "hydrograph duration. Output vectors are recorded at the original inflow time\n"
    "step.\n\n"
    "# Errors\n"
    "Returns a `PyValueError` if any outlet's discharge calculation fails or if\n"
    "the initial elevation is outside the elevation-storage curve range."};

PyType_Spec level_pool_result_spec =
    make_spec<LevelPoolResult>("LevelPoolResult", level_pool_result_slots, kResultClassFlags);

constexpr Parameters<4> kRunStorageIndicationRoutingParameters{
    "run_storage_indication_routing()",
    {"inflow", "initial_elevation", "elevation_storage", "discharge_info"},
    4};

PyObject* py_run_storage_indication_routing(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                            PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        ContinuousTimeSeries inflow;
        double initial_elevation = 0.0;
        ElevationStorage curve;
        NamedComponents<DischargeInfo> outlets;
        if (!parse_call(kRunStorageIndicationRoutingParameters, args, nargs, kwnames, inflow,
                        initial_elevation, curve, outlets)) {
            return nullptr;
        }
        // One interpolation per outlet and step, and per outlet and row of the table.
        const std::uint64_t work =
            work_units(inflow.data.size() + storage_indication_table_rows(curve, outlets),
                       storage_indication_row_work(outlets.size()));
        auto routed = run_unlocked(work, [&] {
            return run_storage_indication_routing(inflow, initial_elevation, curve, outlets,
                                                  python_signals());
        });
        if (!routed) return raise(routed.error());
        return new_instance(std::move(routed).value()).release();
    });
}

PyMethodDef run_storage_indication_routing_definition = {
    "run_storage_indication_routing", as_method(py_run_storage_indication_routing),
    kFastcallFlags,
    "run_storage_indication_routing(inflow, initial_elevation, elevation_storage, "
    "discharge_info)\n--\n\n"
    "Routes an inflow hydrograph through a reservoir by the storage-indication\n"
    "(modified Puls) method at the inflow's own time step.\n\n"
    "2S/dt + O is tabulated once on the elevations of the storage curve and of the\n"
    "outlets' ratings and gates; each step solves the trapezoidal continuity equation\n"
    "through it. Every record has as many values as `inflow`, the first being the\n"
    "initial state. Outlets must depend on the elevation alone (no\n"
    "`SpecifiedDischargeInfo`).\n\n"
    "# Returns\n"
    "A `LevelPoolResult`."};

}  // namespace

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::LevelPoolResult>() {
    return level_pool_result_spec;
}

namespace vesparil {

bool init_reservoir(PyObject* module) {
    binding::Ref utils = binding::create_submodule("reservoir_utils");
    if (!utils || !init_reservoir_utils(utils.get())) return false;
    return binding::attach_submodule(module, std::move(utils)) &&
           binding::add_function(module, &run_level_pool_routing_definition) &&
           binding::add_class<LevelPoolResult>(module) &&
           binding::add_function(module, &run_storage_indication_routing_definition);
}

}  // namespace vesparil
