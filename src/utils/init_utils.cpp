// Python entries of the utils submodule: ContinuousTimeSeries and IncrementalTimeSeries.
#include <array>

#include "binding/attributes.hpp"
#include "binding/entry.hpp"
#include "binding/module.hpp"
#include "binding/parse.hpp"
#include "binding/signals.hpp"
#include "binding/timedelta.hpp"
#include "init.hpp"
#include "utils/utils_classes.hpp"

namespace vesparil {

namespace {

using namespace binding;

constexpr const char* kContinuousDoc =
    "ContinuousTimeSeries(data, time_step, kind)\n--\n\n"
    "A uniformly-spaced time series where each value represents a quantity at a\n"
    "discrete point in time (e.g. discharge, elevation, storage).\n\n"
    "Total duration spans first to last point: `time_step * (len(data) - 1)`.\n"
    "Supports linear interpolation between points.";

constexpr const char* kIncrementalDoc =
    "IncrementalTimeSeries(data, time_step, kind)\n--\n\n"
    "A uniformly-spaced time series where each value represents a quantity\n"
    "accumulated over one time step interval (e.g. rainfall depth, volume added).\n\n"
    "Total duration spans all intervals: `time_step * len(data)`.\n"
    "Supports disaggregation to a finer time step.";

// Both constructors run the same steps; only the record type and the name differ.
template <class Series>
PyObject* new_series(PyTypeObject* type, PyObject* args, PyObject* kwargs, const char* callable) {
    return guarded([&]() -> PyObject* {
        const Parameters<3> parameters{callable, {"data", "time_step", "kind"}, 3};
        Series series;
        Timedelta step;
        if (!parse_new(parameters, args, kwargs, series.data, step, series.kind)) return nullptr;
        if (auto valid = validate_kind(series.kind); !valid) return raise(valid.error());
        Duration duration;
        if (!to_duration(step, duration)) return nullptr;
        auto seconds = time_step_from_seconds(duration.as_seconds());
        if (!seconds) return raise(seconds.error());
        series.time_step = *seconds;
        return new_instance(type, std::move(series)).release();
    });
}

PyObject* py_continuous_time_series_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return new_series<ContinuousTimeSeries>(type, args, kwargs, "ContinuousTimeSeries.__new__()");
}

PyObject* py_incremental_time_series_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return new_series<IncrementalTimeSeries>(type, args, kwargs, "IncrementalTimeSeries.__new__()");
}

template <class Series>
PyObject* method_total_duration(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames, const char* callable) {
    return guarded([&]() -> PyObject* {
        if (!parse_call(Parameters<0>{callable, {}, 0}, args, nargs, kwnames)) return nullptr;
        return with_shared<Series>(self,
                                   [](const Series& series) -> Ref {
                                       const auto total = total_duration(series);
                                       if (!total) return Ref::steal(raise(total.error()));
                                       return to_python(*total);
                                   })
            .release();
    });
}

PyObject* py_continuous_time_series_total_duration(PyObject* self, PyObject* const* args,
                                                   Py_ssize_t nargs, PyObject* kwnames) {
    return method_total_duration<ContinuousTimeSeries>(self, args, nargs, kwnames,
                                                       "ContinuousTimeSeries.total_duration()");
}

PyObject* py_incremental_time_series_total_duration(PyObject* self, PyObject* const* args,
                                                    Py_ssize_t nargs, PyObject* kwnames) {
    return method_total_duration<IncrementalTimeSeries>(self, args, nargs, kwnames,
                                                        "IncrementalTimeSeries.total_duration()");
}

constexpr Parameters<1> kDisaggregateParameters{
    "IncrementalTimeSeries.disaggregate()", {"target_step"}, 1};

PyObject* py_incremental_time_series_disaggregate(PyObject* self, PyObject* const* args,
                                                  Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        std::int32_t target_step = 0;
        if (!parse_call(kDisaggregateParameters, args, nargs, kwnames, target_step)) {
            return nullptr;
        }
        // Read in place under the shared borrow: the instance cannot change meanwhile.
        const auto split = [&](const IncrementalTimeSeries& series) -> Ref {
            auto result = disaggregate(series, target_step, python_signals());
            if (!result) {
                raise(result.error());
                return {};
            }
            return new_instance(std::move(result).value());
        };
        return with_shared<IncrementalTimeSeries>(self, split).release();
    });
}

// Both series classes have the same three attributes.
template <class Series>
PyGetSetDef series_getset[] = {
    {"data", get_field<Series, &Series::data>, nullptr, nullptr, nullptr},
    {"kind", get_field<Series, &Series::kind>, nullptr, nullptr, nullptr},
    {"time_step", get_field<Series, &Series::time_step, ToTimedelta>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef continuous_time_series_methods[] = {
    {"total_duration", as_method(py_continuous_time_series_total_duration), kFastcallFlags,
     "total_duration($self)\n--\n\nTotal duration from first to last data point (seconds)."},
    {nullptr, nullptr, 0, nullptr},
};

PyMethodDef incremental_time_series_methods[] = {
    {"total_duration", as_method(py_incremental_time_series_total_duration), kFastcallFlags,
     "total_duration($self)\n--\n\nTotal duration spanning all time step intervals (seconds)."},
    {"disaggregate", as_method(py_incremental_time_series_disaggregate), kFastcallFlags,
     "disaggregate($self, target_step)\n--\n\n"
     "Disaggregates to a finer `target_step` (seconds) by uniformly\n"
     "distributing each bucket's value. Total depth is preserved."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot continuous_time_series_slots[] = {
    {Py_tp_doc, const_cast<char*>(kContinuousDoc)},
    {Py_tp_new, reinterpret_cast<void*>(py_continuous_time_series_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<ContinuousTimeSeries>)},
    {Py_tp_getset, series_getset<ContinuousTimeSeries>},
    {Py_tp_methods, continuous_time_series_methods},
    {0, nullptr},
};

PyType_Slot incremental_time_series_slots[] = {
    {Py_tp_doc, const_cast<char*>(kIncrementalDoc)},
    {Py_tp_new, reinterpret_cast<void*>(py_incremental_time_series_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<IncrementalTimeSeries>)},
    {Py_tp_getset, series_getset<IncrementalTimeSeries>},
    {Py_tp_methods, incremental_time_series_methods},
    {0, nullptr},
};

PyType_Spec continuous_time_series_spec = make_spec<ContinuousTimeSeries>(
    "ContinuousTimeSeries", continuous_time_series_slots, kValueClassFlags);
PyType_Spec incremental_time_series_spec = make_spec<IncrementalTimeSeries>(
    "IncrementalTimeSeries", incremental_time_series_slots, kValueClassFlags);

}  // namespace

}  // namespace vesparil

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<ContinuousTimeSeries>() {
    return continuous_time_series_spec;
}
template <>
PyType_Spec& class_spec<IncrementalTimeSeries>() {
    return incremental_time_series_spec;
}
}  // namespace vesparil::binding

namespace vesparil {

bool init_utils(PyObject* module) {
    return binding::add_class<ContinuousTimeSeries>(module) &&
           binding::add_class<IncrementalTimeSeries>(module);
}

binding::Ref series_dict_pair(ContinuousTimeSeries series, binding::Ref dict) {
    binding::Ref first = binding::new_instance(std::move(series));
    if (!first) return {};
    return binding::Ref::steal(PyTuple_Pack(2, first.get(), dict.get()));
}

}  // namespace vesparil
