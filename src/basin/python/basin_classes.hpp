// The Python classes of the basin submodule: the method records (those made from their tables by
// basin/python/method_descriptor.hpp, the others in lumped_method_classes.cpp,
// snow_method_classes.cpp and pet_method_classes.cpp), the Basin itself
// (basin/python/basin_class.cpp) and the run results (basin/python/run_classes.cpp).
#pragma once

#include <Python.h>

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "basin/model/basin_model.hpp"
#include "basin/model/method_tables.hpp"
#include "basin/python/method_descriptor.hpp"
#include "basin/run/basin_run.hpp"
#include "binding/first_of.hpp"
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

// Entries of the Basin class defined in basin/python/batch_entry.cpp and
// basin/python/plain_data.cpp.
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

// The model as plain dicts and lists, and back (basin/python/plain_data.cpp).

// What add_subbasin's `transform` takes: a transform, or a continuous model standing for the
// whole runoff (then without loss or baseflow).
using SubbasinRunoff =
    std::variant<ClarkTransform, ScsTransform, SnyderTransform, Gr4jRunoff, HbvRunoff>;

// The dict of daily series of a sub-basin run by a continuous model or through its daily front
// (basin/python/daily_forcing.cpp), into the slots of element `at`: the series its methods take, by
// name (an unknown series otherwise), all of one length; marks an event sub-basin's front.
bool extract_daily_forcing(PyObject* value, const std::string& name, const Subbasin& subbasin,
                           std::size_t at, BasinForcing& out);

}  // namespace vesparil

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<BasinModel>();
template <>
PyType_Spec& class_spec<BasinRunResult>();
template <>
PyType_Spec& class_spec<ElementRun>();


template <>
PyType_Spec& class_spec<Gr4jRunoff>();
template <>
PyType_Spec& class_spec<CemaNeigeSnow>();
template <>
inline constexpr bool is_argument_class<CemaNeigeSnow> = true;

template <>
PyType_Spec& class_spec<OudinPet>();
template <>
inline constexpr bool is_argument_class<OudinPet> = true;
template <>
PyType_Spec& class_spec<HargreavesPet>();
template <>
inline constexpr bool is_argument_class<HargreavesPet> = true;
template <>
PyType_Spec& class_spec<HamonPet>();
template <>
inline constexpr bool is_argument_class<HamonPet> = true;

template <>
inline constexpr bool is_argument_class<Gr4jRunoff> = true;

// The method records with a table (basin/model/method_tables.hpp): their classes are made
// from it, and they are taken as arguments.
template <class Record>
    requires requires { MethodTable<Record>::fields; }
struct ClassSpec<Record> {
    static PyType_Spec& get() { return basin_classes::method_spec<Record>(); }
};
template <class Record>
    requires requires { MethodTable<Record>::fields; }
inline constexpr bool is_argument_class<Record> = true;

// A method argument of add_subbasin, add_reach or add_reservoir: the first method class of its
// family that the value is an instance of.
// A family whose methods all have tables: its alternatives' names are their classes'.
template <class... Methods>
constexpr std::array<const char*, sizeof...(Methods)> class_names(const std::variant<Methods...>*) {
    return {MethodTable<Methods>::name...};
}

template <>
struct UnionNames<LossMethod> {
    static constexpr const char* name = "LossMethod";
    static constexpr auto variants = class_names(static_cast<const LossMethod*>(nullptr));
};
template <>
struct UnionNames<TransformMethod> {
    static constexpr const char* name = "TransformMethod";
    static constexpr auto variants = class_names(static_cast<const TransformMethod*>(nullptr));
};
template <>
struct UnionNames<SubbasinRunoff> {
    static constexpr const char* name = "TransformMethod";
    static constexpr std::array<const char*, 5> variants{"Clark", "ScsUnitHydrograph", "Snyder",
                                                         "GR4J", "HBV"};
};
template <>
struct UnionNames<SnowMethod> {
    static constexpr const char* name = "SnowMethod";
    static constexpr std::array<const char*, 2> variants{"DegreeDaySnow", "CemaNeige"};
};
template <>
struct UnionNames<EvapotranspirationMethod> {
    static constexpr const char* name = "EvapotranspirationMethod";
    static constexpr std::array<const char*, 3> variants{"Oudin", "Hargreaves", "Hamon"};
};
template <>
struct UnionNames<ReachMethod> {
    static constexpr const char* name = "ReachMethod";
    static constexpr auto variants = class_names(static_cast<const ReachMethod*>(nullptr));
};
template <>
struct UnionNames<ReservoirMethod> {
    static constexpr const char* name = "ReservoirMethod";
    static constexpr auto variants = class_names(static_cast<const ReservoirMethod*>(nullptr));
};
}  // namespace vesparil::binding
