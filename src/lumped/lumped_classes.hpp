// The Python classes of the lumped models' results. Defined in lumped/init_lumped.cpp.
#pragma once

#include <Python.h>

#include "binding/record_class.hpp"
#include "lumped/gr4j.hpp"
#include "lumped/hbv.hpp"

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<Gr4jSeries>();
template <>
PyType_Spec& class_spec<HbvSeries>();
}  // namespace vesparil::binding
