// The results of Basin.run: BasinRun (outflows by element, summary, DataFrame) and ElementRun.
#include "basin/python/basin_classes.hpp"
#include "binding/attributes.hpp"
#include "binding/entry.hpp"
#include "binding/parse.hpp"
#include "binding/timedelta.hpp"
#include "utils/utils_classes.hpp"

namespace vesparil {

using namespace binding;

namespace {

// Sets `key` of `dict` to a new reference; false with the exception set on failure.
bool set_item(PyObject* dict, const char* key, Ref value) {
    return value && PyDict_SetItemString(dict, key, value.get()) == 0;
}

PyObject* py_basin_run_result_subscript(PyObject* self, PyObject* key) {
    return guarded([&]() -> PyObject* {
        std::string name;
        if (!extract(key, name)) return nullptr;
        return with_shared<BasinRunResult>(self, [&](const BasinRunResult& run) -> Ref {
                   for (std::size_t i = 0; i < run.names.size(); ++i) {
                       if (run.names[i] != name) continue;
                       return new_instance(ElementRun{
                           name,
                           ContinuousTimeSeries{run.outflows[i], std::string(kKindDischarge),
                                                run.time_step},
                           run.details[i]});
                   }
                   PyErr_SetObject(PyExc_KeyError, key);
                   return {};
               })
            .release();
    });
}

Py_ssize_t py_basin_run_result_length(PyObject* self) {
    return guarded([&]() -> Py_ssize_t {
        Instance<BasinRunResult>* instance = as_instance<BasinRunResult>(self);
        return static_cast<Py_ssize_t>(instance->record.names.size());
    });
}

PyObject* py_basin_run_result_summary(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                      PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static constexpr Parameters<0> kNone{"BasinRun.summary()", {}, 0};
        if (!bind_arguments(kNone.signature(), args, nargs, kwnames, {})) return nullptr;
        return with_shared<BasinRunResult>(self, [](const BasinRunResult& run) -> Ref {
                   Ref table = Ref::steal(PyDict_New());
                   if (!table) return {};
                   for (std::size_t i = 0; i < run.names.size(); ++i) {
                       const ElementSummary& s = run.summaries[i];
                       Ref row = Ref::steal(PyDict_New());
                       if (!row || !set_item(row.get(), "peak", to_python(s.peak)) ||
                           !set_item(row.get(), "time_of_peak",
                                     timedelta_from_seconds(s.peak_step * run.time_step)) ||
                           !set_item(row.get(), "volume_in", to_python(s.volume_in)) ||
                           !set_item(row.get(), "volume_out", to_python(s.volume_out)) ||
                           !set_item(row.get(), "balance", to_python(s.balance))) {
                           return {};
                       }
                       if (s.reservoir &&
                           (!set_item(row.get(), "storage_change", to_python(s.storage_change)) ||
                            !set_item(row.get(), "maximum_storage",
                                      to_python(s.maximum_storage)) ||
                            !set_item(row.get(), "peak_stage", to_python(s.peak_stage)))) {
                           return {};
                       }
                       Ref key = to_python(run.names[i]);
                       if (!key || PyDict_SetItem(table.get(), key.get(), row.get()) < 0) return {};
                   }
                   return table;
               })
            .release();
    });
}

constexpr Parameters<1> kToDataframeParameters{"BasinRun.to_dataframe()", {"start"}, 0};

PyObject* py_basin_run_result_to_dataframe(PyObject* self, PyObject* const* args,
                                           Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        std::array<PyObject*, 1> bound{};
        if (!bind_arguments(kToDataframeParameters.signature(), args, nargs, kwnames, bound)) {
            return nullptr;
        }
        PyObject* start = bound[0] == Py_None ? nullptr : bound[0];
        Ref pandas = Ref::steal(PyImport_ImportModule("pandas"));
        if (!pandas) {
            if (!PyErr_ExceptionMatches(PyExc_ImportError)) return nullptr;
            PyErr_Clear();
            PyErr_SetString(PyExc_ImportError,
                            "BasinRun.to_dataframe() needs pandas: pip install pandas");
            return nullptr;
        }
        std::int32_t step = 1;
        std::size_t steps = 0;
        Ref columns = with_shared<BasinRunResult>(self, [&](const BasinRunResult& run) -> Ref {
            step = run.time_step;
            Ref dict = Ref::steal(PyDict_New());
            if (!dict) return {};
            for (std::size_t i = 0; i < run.names.size(); ++i) {
                steps = run.outflows[i].size();
                Ref values = to_python(run.outflows[i]);
                Ref key = to_python(run.names[i]);
                if (!values || !key || PyDict_SetItem(dict.get(), key.get(), values.get()) < 0) {
                    return {};
                }
            }
            return dict;
        });
        if (!columns) return nullptr;
        Ref index;
        Ref start_time;
        if (start != nullptr) {
            // Read as pandas reads a time; a value it cannot read, or reads as no time (NaT:
            // '' or the smallest integer), is refused here rather than deep inside pandas.
            Ref timestamp = Ref::steal(PyObject_GetAttrString(pandas.get(), "Timestamp"));
            if (!timestamp) return nullptr;
            start_time = Ref::steal(PyObject_CallOneArg(timestamp.get(), start));
            PyObject* kind = PyExc_ValueError;
            if (!start_time) {
                if (!PyErr_ExceptionMatches(PyExc_Exception)) return nullptr;
                if (PyErr_ExceptionMatches(PyExc_TypeError)) kind = PyExc_TypeError;
                PyErr_Clear();
            }
            Ref not_a_time = Ref::steal(PyObject_GetAttrString(pandas.get(), "NaT"));
            if (!not_a_time) return nullptr;
            if (!start_time || start_time.get() == not_a_time.get()) {
                Ref shown = Ref::steal(PyObject_Repr(start));
                if (!shown) return nullptr;
                PyErr_Format(kind,
                             "BasinRun.to_dataframe(): start must be a time (a datetime, a "
                             "pandas.Timestamp or a date string); got %U",
                             shown.get());
                return nullptr;
            }
            start = start_time.get();
            Ref frequency = timedelta_from_seconds(step);
            if (!frequency) return nullptr;
            Ref date_range = Ref::steal(PyObject_GetAttrString(pandas.get(), "date_range"));
            Ref positional = Ref::steal(PyTuple_Pack(1, start));
            Ref keywords = Ref::steal(Py_BuildValue("{s:n,s:O}", "periods",
                                                    static_cast<Py_ssize_t>(steps), "freq",
                                                    frequency.get()));
            if (!date_range || !positional || !keywords) return nullptr;
            index = Ref::steal(PyObject_Call(date_range.get(), positional.get(), keywords.get()));
            if (!index) return nullptr;
        }
        Ref frame_class = Ref::steal(PyObject_GetAttrString(pandas.get(), "DataFrame"));
        if (!frame_class) return nullptr;
        Ref positional = Ref::steal(PyTuple_Pack(1, columns.get()));
        Ref keywords = Ref::steal(PyDict_New());
        if (!positional || !keywords) return nullptr;
        if (index && PyDict_SetItemString(keywords.get(), "index", index.get()) < 0) return nullptr;
        return PyObject_Call(frame_class.get(), positional.get(), keywords.get());
    });
}

PyObject* py_basin_run_result_get_names(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        return with_shared<BasinRunResult>(self, [](const BasinRunResult& run) -> Ref {
                   Ref names = Ref::steal(PyList_New(0));
                   for (const std::string& name : run.names) {
                       Ref item = to_python(name);
                       if (!names || !item || PyList_Append(names.get(), item.get()) < 0) return {};
                   }
                   return names;
               })
            .release();
    });
}

PyGetSetDef basin_run_result_getset[] = {
    {"names", py_basin_run_result_get_names, nullptr, "Element names, in the order added.",
     nullptr},
    {"time_step", get_field<BasinRunResult, &BasinRunResult::time_step, ToTimedelta>, nullptr,
     "The basin's time step.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot basin_run_result_slots[] = {
    {Py_tp_doc, const_cast<char*>("The outflow of every element of one basin run; "
                                  "run[name] gives one element's.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<BasinRunResult>)},
    {Py_tp_getset, basin_run_result_getset},
    {Py_tp_methods, basin_run_result_methods},
    {Py_mp_subscript, reinterpret_cast<void*>(py_basin_run_result_subscript)},
    {Py_mp_length, reinterpret_cast<void*>(py_basin_run_result_length)},
    {0, nullptr},
};

PyType_Spec basin_run_result_spec =
    make_spec<BasinRunResult>("BasinRun", basin_run_result_slots, kResultClassFlags);

// {name: series} of the element's inner series, in their order: incremental ones (a sub-basin's
// excess and loss) as IncrementalTimeSeries of kind "rainfall", the others as
// ContinuousTimeSeries of the kind their name says.
PyObject* py_element_run_get_series(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        return with_shared<ElementRun>(self, [](const ElementRun& element) -> Ref {
                   const std::int32_t step = element.outflow.time_step;
                   Ref dict = Ref::steal(PyDict_New());
                   if (!dict) return {};
                   for (const NamedSeries& series : element.details) {
                       Ref value;
                       if (series.incremental) {
                           value = new_instance(IncrementalTimeSeries{
                               series.values, std::string(kKindRainfall), step});
                       } else {
                           const std::string_view kind = series.name == "storage"     ? kKindVolume
                                                         : series.name == "elevation" ? kKindElevation
                                                                                      : kKindDischarge;
                           value = new_instance(
                               ContinuousTimeSeries{series.values, std::string(kind), step});
                       }
                       Ref key = to_python(series.name);
                       if (!value || !key || PyDict_SetItem(dict.get(), key.get(), value.get()) < 0) {
                           return {};
                       }
                   }
                   return dict;
               })
            .release();
    });
}

PyGetSetDef element_run_getset[] = {
    {"name", get_field<ElementRun, &ElementRun::name>, nullptr, "The element's name.", nullptr},
    {"outflow", get_record_field<ElementRun, &ElementRun::outflow>, nullptr,
     "Outflow on the basin's time axis (cfs).", nullptr},
    {"series", py_element_run_get_series, nullptr,
     "The element's inner series on the basin's axis, by name: a sub-basin's excess, loss,\n"
     "direct and baseflow; a reservoir's storage, elevation and each outlet's release.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot element_run_slots[] = {
    {Py_tp_doc, const_cast<char*>("One element of a basin run.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<ElementRun>)},
    {Py_tp_getset, element_run_getset},
    {0, nullptr},
};

PyType_Spec element_run_spec =
    make_spec<ElementRun>("ElementRun", element_run_slots, kResultClassFlags);

}  // namespace

PyMethodDef basin_run_result_methods[] = {
    {"summary", as_method(py_basin_run_result_summary), kFastcallFlags,
     "summary($self)\n--\n\nPer element, in order: peak (cfs), time_of_peak (timedelta from the\n"
     "start), volume_in, volume_out and balance = in - out (acre-feet, flows integrated by\n"
     "the trapezoidal rule); a reservoir also storage_change and maximum_storage (acre-feet)\n"
     "and peak_stage (its largest elevation)."},
    {"to_dataframe", as_method(py_basin_run_result_to_dataframe), kFastcallFlags,
     "to_dataframe($self, start=None)\n--\n\nThe outflows as a pandas DataFrame, one column per "
     "element;\nindexed by time from `start` when given, by step otherwise."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::BasinRunResult>() {
    return vesparil::basin_run_result_spec;
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::ElementRun>() {
    return vesparil::element_run_spec;
}
