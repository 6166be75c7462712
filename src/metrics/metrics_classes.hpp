// The Python side of the metrics submodule beyond calculate_kge: the KgeComponents result class
// (metrics/metrics_classes.cpp) and the score entries (metrics/init_scores.cpp).
#pragma once

#include <Python.h>

#include "binding/record_class.hpp"
#include "metrics/scores.hpp"

namespace vesparil {
// Registers calculate_nse, calculate_kge_components, KgeComponents and the other scores, in
// that order.
bool init_scores(PyObject* module);
}  // namespace vesparil

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<KgeComponents>();
}  // namespace vesparil::binding
