// The Python class of the loss model's result. Defined in rainfall_loss/init_loss.cpp.
#pragma once

#include <Python.h>

#include "binding/record_class.hpp"
#include "rainfall_loss/deficit_and_constant.hpp"

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<DeficitConstantResult>();
}  // namespace vesparil::binding
