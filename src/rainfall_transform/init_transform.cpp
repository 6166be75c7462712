// Python entries of the rainfall_transform submodule: run_clark_uh.
#include <array>

#include "binding/entry.hpp"
#include "binding/module.hpp"
#include "binding/parse.hpp"
#include "binding/signals.hpp"
#include "binding/timedelta.hpp"
#include "init.hpp"
#include "rainfall_transform/clark_uh.hpp"
#include "utils/utils_classes.hpp"

namespace vesparil {

namespace {

using namespace binding;

constexpr Parameters<4> kRunClarkUhParameters{
    "run_clark_uh()", {"rainfall", "basin_area", "tc", "storage_r"}, 4};

PyObject* py_run_clark_uh(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        IncrementalTimeSeries rainfall;
        double basin_area = 0.0;
        Timedelta tc;
        Timedelta storage_r;
        if (!parse_call(kRunClarkUhParameters, args, nargs, kwnames, rainfall, basin_area, tc,
                        storage_r)) {
            return nullptr;
        }
        Duration concentration;
        Duration storage;
        if (!to_duration(tc, concentration) || !to_duration(storage_r, storage)) return nullptr;
        auto runoff =
            clark_uh_rs(rainfall.data, rainfall.time_step, basin_area, concentration.as_seconds(),
                        storage.as_seconds(), python_signals());
        if (!runoff) return raise(runoff.error());
        return new_instance(ContinuousTimeSeries{std::move(runoff).value(),
                                                 std::string(kKindDischarge), rainfall.time_step})
            .release();
    });
}

PyMethodDef run_clark_uh_definition = {
    "run_clark_uh", as_method(py_run_clark_uh), kFastcallFlags,
    "run_clark_uh(rainfall, basin_area, tc, storage_r)\n--\n\n"
    "Transforms excess rainfall into a runoff hydrograph using the Clark unit hydrograph.\n\n"
    "# Arguments\n"
    "* `rainfall` - Excess rainfall series (inches per time step).\n"
    "* `basin_area` - Drainage area in acres.\n"
    "* `tc` - Time of concentration. Controls the duration and shape of the\n"
    "  translation hydrograph.\n"
    "* `storage_r` - Linear reservoir storage coefficient. Controls attenuation.\n\n"
    "# Returns\n"
    "A `ContinuousTimeSeries` (kind=discharge, cfs) at the same time step as `rainfall`."};

}  // namespace

bool init_transform(PyObject* module) {
    return binding::add_function(module, &run_clark_uh_definition);
}

}  // namespace vesparil
