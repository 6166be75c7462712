// Python entries of the rainfall_loss submodule: DeficitConstantResult, run_deficit_and_constant,
// CurveNumberResult, run_curve_number, GreenAmptResult, run_green_ampt.
#include <array>
#include <utility>

#include "binding/attributes.hpp"
#include "binding/entry.hpp"
#include "binding/module.hpp"
#include "binding/parse.hpp"
#include "binding/signals.hpp"
#include "binding/timedelta.hpp"
#include "binding/unlocked.hpp"
#include "init.hpp"
#include "rainfall_loss/loss_classes.hpp"
#include "utils/utils_classes.hpp"

namespace vesparil {

namespace {

using namespace binding;

constexpr Parameters<5> kRunDeficitAndConstantParameters{
    "run_deficit_and_constant()",
    {"rainfall", "initial_deficit", "max_deficit", "constant_loss_per_hr", "time_to_dry"},
    5};

PyObject* py_run_deficit_and_constant(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                      PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        // Read in place: a long rainfall record is not copied first.
        SharedRecord<IncrementalTimeSeries> rainfall;
        double initial_deficit = 0.0;
        double max_deficit = 0.0;
        double constant_loss_per_hr = 0.0;
        Timedelta time_to_dry;
        if (!parse_call(kRunDeficitAndConstantParameters, args, nargs, kwnames, rainfall,
                        initial_deficit, max_deficit, constant_loss_per_hr, time_to_dry)) {
            return nullptr;
        }
        Duration drying;
        if (!to_duration(time_to_dry, drying)) return nullptr;
        auto result = run_unlocked(rainfall->data.size(), [&] {
            return run_deficit_and_constant(*rainfall, initial_deficit, max_deficit,
                                            constant_loss_per_hr, drying.as_seconds());
        });
        return new_instance(std::move(result)).release();
    });
}

PyMethodDef run_deficit_and_constant_definition = {
    "run_deficit_and_constant", as_method(py_run_deficit_and_constant), kFastcallFlags,
    "run_deficit_and_constant(rainfall, initial_deficit, max_deficit, constant_loss_per_hr, "
    "time_to_dry)\n--\n\n"
    "Separates gross rainfall into excess runoff and infiltration losses using the\n"
    "deficit-and-constant loss model.\n\n"
    "# Arguments\n"
    "* `rainfall` - Gross rainfall time series (inches per time step).\n"
    "* `initial_deficit` - Starting soil moisture deficit (inches).\n"
    "* `max_deficit` - Maximum soil moisture storage capacity (inches).\n"
    "* `constant_loss_per_hr` - Constant infiltration rate (inches/hour).\n"
    "* `time_to_dry` - Characteristic drying time for deficit recovery.\n\n"
    "# Returns\n"
    "A `DeficitConstantResult` with `excess`, `loss`, and `deficit` series."};

PyGetSetDef deficit_constant_result_getset[] = {
    {"excess", get_record_field<DeficitConstantResult, &DeficitConstantResult::excess>, nullptr,
     "Excess rainfall that becomes surface runoff (inches per time step).", nullptr},
    {"loss", get_record_field<DeficitConstantResult, &DeficitConstantResult::loss>, nullptr,
     "Total infiltrated depth per time step (constant loss + deficit fill, inches).", nullptr},
    {"deficit", get_record_field<DeficitConstantResult, &DeficitConstantResult::deficit>, nullptr,
     "Running soil moisture deficit at the end of each time step (inches).", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot deficit_constant_result_slots[] = {
    {Py_tp_doc, const_cast<char*>("Results from the deficit-and-constant rainfall loss model.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<DeficitConstantResult>)},
    {Py_tp_getset, deficit_constant_result_getset},
    {0, nullptr},
};

PyType_Spec deficit_constant_result_spec = make_spec<DeficitConstantResult>(
    "DeficitConstantResult", deficit_constant_result_slots, kResultClassFlags);

constexpr Parameters<4> kRunCurveNumberParameters{
    "run_curve_number()",
    {"rainfall", "curve_number", "initial_abstraction_ratio", "antecedent_moisture"},
    2};

PyObject* py_run_curve_number(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        SharedRecord<IncrementalTimeSeries> rainfall;
        CurveNumberParameters parameters;
        if (!parse_call(kRunCurveNumberParameters, args, nargs, kwnames, rainfall,
                        parameters.curve_number, parameters.initial_abstraction_ratio,
                        parameters.antecedent_moisture)) {
            return nullptr;
        }
        auto result = run_unlocked(rainfall->data.size(), [&] {
            return run_curve_number(*rainfall, parameters, python_signals());
        });
        if (!result) return raise(result.error());
        return new_instance(std::move(result).value()).release();
    });
}

PyMethodDef run_curve_number_definition = {
    "run_curve_number", as_method(py_run_curve_number), kFastcallFlags,
    "run_curve_number(rainfall, curve_number, initial_abstraction_ratio=0.2, "
    "antecedent_moisture=2)\n--\n\n"
    "Separates gross rainfall into excess and loss with the SCS curve-number method:\n"
    "S = 1000/CN - 10 (in), Ia = ratio * S, and the runoff equation applied to the\n"
    "cumulative rainfall at the end of every step.\n\n"
    "# Arguments\n"
    "* `rainfall` - Gross rainfall time series (inches per time step), one event.\n"
    "* `curve_number` - The curve number for average antecedent moisture (AMC II),\n"
    "  0 < CN <= 100.\n"
    "* `initial_abstraction_ratio` - lambda in Ia = lambda S (0.2 by custom).\n"
    "* `antecedent_moisture` - The condition to run for: 1 (dry), 2 (average, the\n"
    "  curve number as given) or 3 (wet).\n\n"
    "# Returns\n"
    "A `CurveNumberResult` with `excess` and `loss` series."};

PyGetSetDef curve_number_result_getset[] = {
    {"excess", get_record_field<CurveNumberResult, &CurveNumberResult::excess>, nullptr,
     "Excess rainfall that becomes direct runoff (inches per time step).", nullptr},
    {"loss", get_record_field<CurveNumberResult, &CurveNumberResult::loss>, nullptr,
     "Initial abstraction and continuing loss (inches per time step).", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot curve_number_result_slots[] = {
    {Py_tp_doc, const_cast<char*>("Results from the SCS curve-number loss model.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<CurveNumberResult>)},
    {Py_tp_getset, curve_number_result_getset},
    {0, nullptr},
};

PyType_Spec curve_number_result_spec = make_spec<CurveNumberResult>(
    "CurveNumberResult", curve_number_result_slots, kResultClassFlags);

constexpr Parameters<5> kRunGreenAmptParameters{
    "run_green_ampt()",
    {"rainfall", "hydraulic_conductivity", "suction_head", "moisture_deficit",
     "initial_infiltration"},
    4};

PyObject* py_run_green_ampt(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        SharedRecord<IncrementalTimeSeries> rainfall;
        GreenAmptParameters parameters;
        if (!parse_call(kRunGreenAmptParameters, args, nargs, kwnames, rainfall,
                        parameters.hydraulic_conductivity, parameters.suction_head,
                        parameters.moisture_deficit, parameters.initial_infiltration)) {
            return nullptr;
        }
        // A logarithm and a few Newton iterations on ponded steps: count 8 per step.
        auto result = run_unlocked(work_units(rainfall->data.size(), 8), [&] {
            return run_green_ampt(*rainfall, parameters, python_signals());
        });
        if (!result) return raise(result.error());
        return new_instance(std::move(result).value()).release();
    });
}

PyMethodDef run_green_ampt_definition = {
    "run_green_ampt", as_method(py_run_green_ampt), kFastcallFlags,
    "run_green_ampt(rainfall, hydraulic_conductivity, suction_head, moisture_deficit, "
    "initial_infiltration=0.0)\n--\n\n"
    "Separates gross rainfall into excess and infiltration with the Green-Ampt method,\n"
    "finding when the surface ponds in each step.\n\n"
    "# Arguments\n"
    "* `rainfall` - Gross rainfall time series (inches per time step).\n"
    "* `hydraulic_conductivity` - K (in/h).\n"
    "* `suction_head` - Wetting front soil suction head psi (in).\n"
    "* `moisture_deficit` - (1 - initial effective saturation) * effective porosity.\n"
    "* `initial_infiltration` - Cumulative infiltration at the start (in).\n\n"
    "# Returns\n"
    "A `GreenAmptResult` with `excess` and `loss` series."};

PyGetSetDef green_ampt_result_getset[] = {
    {"excess", get_record_field<GreenAmptResult, &GreenAmptResult::excess>, nullptr,
     "Excess rainfall that becomes direct runoff (inches per time step).", nullptr},
    {"loss", get_record_field<GreenAmptResult, &GreenAmptResult::loss>, nullptr,
     "Infiltration (inches per time step).", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot green_ampt_result_slots[] = {
    {Py_tp_doc, const_cast<char*>("Results from the Green-Ampt loss model.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<GreenAmptResult>)},
    {Py_tp_getset, green_ampt_result_getset},
    {0, nullptr},
};

PyType_Spec green_ampt_result_spec = make_spec<GreenAmptResult>(
    "GreenAmptResult", green_ampt_result_slots, kResultClassFlags);

}  // namespace

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::DeficitConstantResult>() {
    return deficit_constant_result_spec;
}

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::CurveNumberResult>() {
    return curve_number_result_spec;
}

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::GreenAmptResult>() {
    return green_ampt_result_spec;
}

namespace vesparil {

bool init_loss(PyObject* module) {
    return binding::add_class<DeficitConstantResult>(module) &&
           binding::add_function(module, &run_deficit_and_constant_definition) &&
           binding::add_class<CurveNumberResult>(module) &&
           binding::add_function(module, &run_curve_number_definition) &&
           binding::add_class<GreenAmptResult>(module) &&
           binding::add_function(module, &run_green_ampt_definition);
}

}  // namespace vesparil
