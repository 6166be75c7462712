// The Python classes of the time-series records, for every subsystem that takes or returns a
// series. Defined in utils/init_utils.cpp.
#pragma once

#include <Python.h>

#include "binding/record_argument.hpp"
#include "binding/ref.hpp"
#include "utils/time_series.hpp"

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<ContinuousTimeSeries>();
template <>
PyType_Spec& class_spec<IncrementalTimeSeries>();
template <>
inline constexpr bool is_argument_class<ContinuousTimeSeries> = true;
template <>
inline constexpr bool is_argument_class<IncrementalTimeSeries> = true;
}  // namespace vesparil::binding

namespace vesparil {

// (new ContinuousTimeSeries from `series`, `dict`) as a 2-tuple; null with the creation error
// pending on failure.
binding::Ref series_dict_pair(ContinuousTimeSeries series, binding::Ref dict);

}  // namespace vesparil
