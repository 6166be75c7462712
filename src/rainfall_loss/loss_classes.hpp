// The Python classes of the loss models' results. Defined in rainfall_loss/init_loss.cpp.
#pragma once

#include <Python.h>

#include "binding/record_class.hpp"
#include "rainfall_loss/curve_number.hpp"
#include "rainfall_loss/deficit_and_constant.hpp"
#include "rainfall_loss/green_ampt.hpp"

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<DeficitConstantResult>();
template <>
PyType_Spec& class_spec<CurveNumberResult>();
template <>
PyType_Spec& class_spec<GreenAmptResult>();
}  // namespace vesparil::binding
