// The Python side of the two time-series classes.
#pragma once

#include <Python.h>

#include "binding/ref.hpp"
#include "utils/time_series.hpp"

namespace vesparil {

// Adds ContinuousTimeSeries, then IncrementalTimeSeries, to `module`.
bool register_time_series(PyObject* module);

// (new ContinuousTimeSeries from `series`, `dict`) as a 2-tuple; on failure the dict is released
// and the creation error is pending.
binding::Ref series_dict_pair(ContinuousTimeSeries series, binding::Ref dict);

}  // namespace vesparil
