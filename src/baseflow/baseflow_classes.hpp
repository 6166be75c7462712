// The Python class of a baseflow layer's configuration. Defined in baseflow/init_baseflow.cpp.
#pragma once

#include <Python.h>

#include "baseflow/linear_reservoir.hpp"
#include "binding/record_argument.hpp"

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<LinearReservoir>();
template <>
inline constexpr bool is_argument_class<LinearReservoir> = true;
}  // namespace vesparil::binding
