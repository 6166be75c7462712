// The library's initialisation entries and the assembly of the module tree.
//
// vesparil
//   utils               ContinuousTimeSeries, IncrementalTimeSeries
//   reach               run_muskingum_routing
//   reservoir           reservoir_utils (rating curves and outlets), run_level_pool_routing,
//                       LevelPoolResult
//   rainfall_transform  run_clark_uh
//   rainfall_loss       DeficitConstantResult, run_deficit_and_constant
//   baseflow            run_linear_reservoir, LinearReservoir
//   metrics             calculate_kge
//   basin               Basin, DeficitAndConstant, Clark, Muskingum, LevelPool, BasinRun,
//                       ElementRun
//   lumped              run_gr4j, GR4JResult, run_hbv, HBVResult
//   evapotranspiration  calculate_extraterrestrial_radiation, calculate_pet_oudin,
//                       calculate_pet_hargreaves, calculate_pet_hamon
//   snow                run_degree_day_snow, DegreeDaySnowResult, run_cemaneige,
//                       CemaNeigeResult
//
// The seven init_* entries build one submodule's contents as a stand-alone module.
#include <Python.h>

#include "binding/errors.hpp"
#include "binding/module.hpp"
#include "binding/timedelta.hpp"
#include "init.hpp"

namespace vesparil {

namespace {

using binding::Ref;

// The module's classes, its internal-error class and the datetime C API are process-wide, so the
// module runs in the main interpreter only: an import anywhere else fails cleanly instead of
// sharing objects that another interpreter may free. The internal-error class is made here, once,
// so that no thread ever has to create it while raising.
bool prepare_process_wide_state() {
    if (PyInterpreterState_Get() != PyInterpreterState_Main()) {
        PyErr_SetString(PyExc_ImportError,
                        "vesparil can only be imported in the main interpreter, not in a "
                        "sub-interpreter");
        return false;
    }
    return binding::import_datetime() && binding::panic_exception_type();
}

// Creates submodule `name`, fills it with `fill` and attaches it to `parent`.
template <class Fill>
bool build_submodule(PyObject* parent, const char* name, Fill&& fill) {
    Ref submodule = binding::create_submodule(name);
    if (!submodule) return false;
    if (!fill(submodule.get())) return false;
    return binding::attach_submodule(parent, std::move(submodule));
}

int exec_vesparil(PyObject* module) {
    return binding::guarded([&]() -> int {
        if (!binding::check_module(module)) return -1;
        if (!prepare_process_wide_state()) return -1;
        const bool built = build_submodule(module, "utils", init_utils) &&
                           build_submodule(module, "reach", init_reach) &&
                           build_submodule(module, "reservoir", init_reservoir) &&
                           build_submodule(module, "rainfall_transform", init_transform) &&
                           build_submodule(module, "rainfall_loss", init_loss) &&
                           build_submodule(module, "baseflow", init_baseflow) &&
                           build_submodule(module, "metrics", init_metrics) &&
                           build_submodule(module, "basin", init_basin) &&
                           build_submodule(module, "lumped", init_lumped) &&
                           build_submodule(module, "evapotranspiration",
                                           init_evapotranspiration) &&
                           build_submodule(module, "snow", init_snow);
        return built ? 0 : -1;
    });
}

// Execution step of a stand-alone submodule entry.
template <bool (*Init)(PyObject*)>
int exec_standalone(PyObject* module) {
    return binding::guarded([&]() -> int {
        if (!binding::check_module(module)) return -1;
        if (!prepare_process_wide_state()) return -1;
        return Init(module) ? 0 : -1;
    });
}

#if PY_VERSION_HEX >= 0x030D0000
#define VESPARIL_GIL_SLOT {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#else
#define VESPARIL_GIL_SLOT
#endif

PyModuleDef_Slot vesparil_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_vesparil)},
    VESPARIL_GIL_SLOT{0, nullptr},
};

template <bool (*Init)(PyObject*)>
PyModuleDef_Slot standalone_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_standalone<Init>)},
    VESPARIL_GIL_SLOT{0, nullptr},
};

constexpr PyModuleDef make_definition(const char* name, PyModuleDef_Slot* slots) {
    return PyModuleDef{
        PyModuleDef_HEAD_INIT, name, "", 0, nullptr, slots, nullptr, nullptr, nullptr};
}

PyModuleDef vesparil_definition = make_definition("vesparil", vesparil_slots);
PyModuleDef reach_definition = make_definition("init_reach", standalone_slots<init_reach>);
PyModuleDef metrics_definition = make_definition("init_metrics", standalone_slots<init_metrics>);
PyModuleDef reservoir_definition =
    make_definition("init_reservoir", standalone_slots<init_reservoir>);
PyModuleDef baseflow_definition = make_definition("init_baseflow", standalone_slots<init_baseflow>);
PyModuleDef loss_definition = make_definition("init_loss", standalone_slots<init_loss>);
PyModuleDef transform_definition =
    make_definition("init_transform", standalone_slots<init_transform>);
PyModuleDef basin_definition = make_definition("init_basin", standalone_slots<init_basin>);

}  // namespace

}  // namespace vesparil

PyMODINIT_FUNC PyInit_vesparil() { return PyModuleDef_Init(&vesparil::vesparil_definition); }
PyMODINIT_FUNC PyInit_init_reach() { return PyModuleDef_Init(&vesparil::reach_definition); }
PyMODINIT_FUNC PyInit_init_metrics() { return PyModuleDef_Init(&vesparil::metrics_definition); }
PyMODINIT_FUNC PyInit_init_reservoir() { return PyModuleDef_Init(&vesparil::reservoir_definition); }
PyMODINIT_FUNC PyInit_init_baseflow() { return PyModuleDef_Init(&vesparil::baseflow_definition); }
PyMODINIT_FUNC PyInit_init_loss() { return PyModuleDef_Init(&vesparil::loss_definition); }
PyMODINIT_FUNC PyInit_init_transform() { return PyModuleDef_Init(&vesparil::transform_definition); }
PyMODINIT_FUNC PyInit_init_basin() { return PyModuleDef_Init(&vesparil::basin_definition); }
