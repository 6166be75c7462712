// The Python class of the level pool result. Defined in reservoir_routing/init_reservoir.cpp.
#pragma once

#include <Python.h>

#include "binding/record_class.hpp"
#include "reservoir_routing/level_pool.hpp"

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<LevelPoolResult>();
}  // namespace vesparil::binding
