// The Python classes of the basin submodule: the four method records (basin/method_classes.cpp),
// the Basin itself (basin/basin_class.cpp) and the run results (basin/run_classes.cpp).
#pragma once

#include <Python.h>

#include <cstdint>
#include <string>
#include <vector>

#include "basin/basin_model.hpp"
#include "basin/basin_run.hpp"
#include "binding/record_argument.hpp"
#include "utils/time_series.hpp"

namespace vesparil {

// What `Basin.run` returns: every element's outflow and summary, in element order.
struct BasinRunResult {
    std::int32_t time_step = 1;
    std::vector<std::string> names;
    std::vector<std::vector<double>> outflows;
    std::vector<ElementSummary> summaries;
    std::vector<ElementDetails> details;
};

// `run[name]`: one element's share of a run.
struct ElementRun {
    std::string name;
    ContinuousTimeSeries outflow;
    ElementDetails details;
};

// Python entries defined beside the classes, registered by init_basin.
extern PyMethodDef basin_methods[];
extern PyMethodDef basin_run_result_methods[];

PyObject* py_basin_new(PyTypeObject* type, PyObject* args, PyObject* kwargs);

// Entries of the Basin class defined in basin/batch_entry.cpp and basin/plain_data.cpp.
PyObject* py_basin_run_batch(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                             PyObject* kwnames);
PyObject* py_basin_with_parameters(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                   PyObject* kwnames);
PyObject* py_basin_to_dict(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames);
PyObject* py_basin_from_dict(PyObject* type, PyObject* const* args, Py_ssize_t nargs,
                             PyObject* kwnames);
PyObject* py_basin_reduce(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames);
extern const char* const kRunBatchDoc;

// A copy of a Basin instance's model, under its shared borrow.
bool copy_model(PyObject* self, BasinModel& out);

// The forcing argument of run and run_batch, checked against the model.
bool extract_forcing(PyObject* object, const BasinModel& model, BasinForcing& out);

// The model as plain dicts and lists, and back (basin/plain_data.cpp).

}  // namespace vesparil

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<DeficitAndConstantLoss>();
template <>
PyType_Spec& class_spec<ClarkTransform>();
template <>
PyType_Spec& class_spec<MuskingumRouting>();
template <>
PyType_Spec& class_spec<LevelPoolRouting>();
template <>
PyType_Spec& class_spec<BasinModel>();
template <>
PyType_Spec& class_spec<BasinRunResult>();
template <>
PyType_Spec& class_spec<ElementRun>();

template <>
inline constexpr bool is_argument_class<DeficitAndConstantLoss> = true;
template <>
inline constexpr bool is_argument_class<ClarkTransform> = true;
template <>
inline constexpr bool is_argument_class<MuskingumRouting> = true;
template <>
inline constexpr bool is_argument_class<LevelPoolRouting> = true;
}  // namespace vesparil::binding
