// The Python classes of the snow models' results. Defined in snow/init_snow.cpp.
#pragma once

#include <Python.h>

#include "binding/record_class.hpp"
#include "snow/cemaneige.hpp"
#include "snow/degree_day.hpp"

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<DegreeDaySeries>();
template <>
PyType_Spec& class_spec<CemaNeigeSeries>();
}  // namespace vesparil::binding
