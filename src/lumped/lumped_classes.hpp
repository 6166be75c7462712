// The Python classes of the lumped models' results. Defined in lumped/init_lumped.cpp.
#pragma once

#include <Python.h>

#include "binding/record_class.hpp"
#include "lumped/gr4j.hpp"

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<Gr4jSeries>();
}  // namespace vesparil::binding
