// Python entries of the baseflow submodule: run_linear_reservoir, LinearReservoir.
#include <array>

#include "baseflow/baseflow_classes.hpp"
#include "binding/attributes.hpp"
#include "binding/containers.hpp"
#include "binding/entry.hpp"
#include "binding/module.hpp"
#include "binding/parse.hpp"
#include "binding/signals.hpp"
#include "binding/timedelta.hpp"
#include "binding/unlocked.hpp"
#include "init.hpp"
#include "utils/utils_classes.hpp"

namespace vesparil {

namespace {

using namespace binding;

constexpr Parameters<4> kLinearReservoirParameters{
    "LinearReservoir.__new__()", {"k_duration", "gw_fraction", "initial_q", "num_reservoir"}, 3};

PyObject* py_linear_reservoir_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        Timedelta k_duration;
        double gw_fraction = 0.0;
        double initial_q = 0.0;
        std::size_t num_reservoir = 1;
        if (!parse_new(kLinearReservoirParameters, args, kwargs, k_duration, gw_fraction, initial_q,
                       num_reservoir)) {
            return nullptr;
        }
        Duration k;
        if (!to_duration(k_duration, k)) return nullptr;
        auto layer = make_linear_reservoir(k.as_seconds(), gw_fraction, initial_q, num_reservoir);
        if (!layer) return raise(layer.error());
        return new_instance(type, std::move(layer).value()).release();
    });
}

PyGetSetDef linear_reservoir_getset[] = {
    {"gw_fraction", get_field<LinearReservoir, &LinearReservoir::gw_fraction>,
     set_field<LinearReservoir, &LinearReservoir::gw_fraction>,
     "Fraction of rainfall loss that contributes to this reservoir's baseflow.\n"
     "Must be in [0.0, 1.0].",
     nullptr},
    {"initial_q", get_field<LinearReservoir, &LinearReservoir::initial_q>,
     set_field<LinearReservoir, &LinearReservoir::initial_q>,
     "Initial discharge at the start of the simulation (e.g., cfs).", nullptr},
    {"num_reservoir", get_field<LinearReservoir, &LinearReservoir::num_reservoir>,
     set_field<LinearReservoir, &LinearReservoir::num_reservoir>,
     "Number of linear reservoirs chained in series.", nullptr},
    {"k_duration", get_field<LinearReservoir, &LinearReservoir::k_seconds, ToTimedelta>, nullptr,
     "Returns the storage time constant as a Python `timedelta`.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kLinearReservoirDoc =
    "LinearReservoir(k_duration, gw_fraction, initial_q, num_reservoir=1)\n--\n\n"
    "Configuration for a single linear reservoir groundwater layer.\n\n"
    "A linear reservoir models groundwater storage with the recurrence relation:\n"
    "`Q[t] = C * I[t] + (1 - C) * Q[t-1]`, where `C = dt / (K + 0.5*dt)`.\n"
    "Chaining `num_reservoir` reservoirs in series produces a more peaked,\n"
    "delayed response.";

PyType_Slot linear_reservoir_slots[] = {
    {Py_tp_doc, const_cast<char*>(kLinearReservoirDoc)},
    {Py_tp_new, reinterpret_cast<void*>(py_linear_reservoir_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<LinearReservoir>)},
    {Py_tp_getset, linear_reservoir_getset},
    {0, nullptr},
};

// Not subclassable.
PyType_Spec linear_reservoir_spec =
    make_spec<LinearReservoir>("LinearReservoir", linear_reservoir_slots, kSealedClassFlags);

constexpr Parameters<3> kRunLinearReservoirParameters{
    "run_linear_reservoir()", {"basin_area", "rainfall", "reservoirs"}, 3};

PyObject* py_run_linear_reservoir(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                  PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        double basin_area = 0.0;
        // Read in place: a long rainfall record is not copied first.
        SharedRecord<IncrementalTimeSeries> rainfall;
        NamedComponents<LinearReservoir> layers;
        if (!parse_call(kRunLinearReservoirParameters, args, nargs, kwnames, basin_area, rainfall,
                        layers)) {
            return nullptr;
        }
        std::uint64_t reservoirs = 0;
        for (const auto& [name, layer] : layers) reservoirs += layer.num_reservoir;
        auto run = run_unlocked(work_units(rainfall->data.size(), reservoirs), [&] {
            return run_linear_reservoir(basin_area, rainfall->data, rainfall->time_step, layers,
                                        python_signals());
        });
        if (!run) return raise(run.error());

        Ref by_layer = to_python_dict_moving(
            std::move(run->layers),
            [](ContinuousTimeSeries&& layer) { return new_instance(std::move(layer)); });
        if (!by_layer) return nullptr;
        return series_dict_pair(std::move(run->total), std::move(by_layer)).release();
    });
}

PyMethodDef run_linear_reservoir_definition = {
    "run_linear_reservoir", as_method(py_run_linear_reservoir), kFastcallFlags,
    "run_linear_reservoir(basin_area, rainfall, reservoirs)\n--\n\n"
    "Routes infiltrated rainfall through multiple named linear reservoirs to produce baseflow.\n\n"
    "# Arguments\n"
    "* `basin_area` - Drainage area in acres.\n"
    "* `rainfall` - Infiltrated rainfall series (inches per time step).\n"
    "* `reservoirs` - Named linear reservoir configurations.\n\n"
    "# Returns\n"
    "A tuple of the total baseflow series and a dict of each layer's baseflow series\n"
    "(kind=discharge, cfs).\n\n"
    "# Errors\n"
    "Returns a `ValueError` if the `gw_fraction` values sum to more than 1.0, or if a\n"
    "layer's storage constant per reservoir is shorter than half the time step\n"
    "(stability)."};

}  // namespace

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::LinearReservoir>() {
    return linear_reservoir_spec;
}

namespace vesparil {

bool init_baseflow(PyObject* module) {
    return binding::add_function(module, &run_linear_reservoir_definition) &&
           binding::add_class<LinearReservoir>(module);
}

}  // namespace vesparil
