// The Python side of rainfall_transform beyond its three runs: the SnyderParameters result class
// and the conversion of the `time_base` word (rainfall_transform/transform_classes.cpp).
#pragma once

#include <Python.h>

#include "binding/convert.hpp"
#include "binding/record_class.hpp"
#include "rainfall_transform/snyder_uh.hpp"

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<SnyderHydrograph>();

// The word checked as it is converted: an unknown one is the ValueError that lists the words (a
// str expected, as for any text argument).
template <>
struct Extract<SnyderTimeBase> {
    static bool from(PyObject* object, SnyderTimeBase& out);
};
}  // namespace vesparil::binding
