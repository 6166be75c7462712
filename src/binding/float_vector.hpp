// Float-vector arguments that are only read during the call.
#pragma once

#include <Python.h>

#include <span>
#include <vector>

#include "binding/convert.hpp"
#include "binding/numpy_array.hpp"

namespace vesparil::binding {

// A contiguous float64 NumPy array is viewed in place (its buffer export keeps it alive and
// unresized until the FloatSpan is destroyed); anything else is converted into an owned vector.
// Same values as a float vector.
class FloatSpan {
public:
    std::span<const double> values() const { return values_; }

private:
    friend bool extract(PyObject* object, FloatSpan& out);
    std::vector<double> owned_;
    ArrayView view_;
    std::span<const double> values_;
};

bool extract(PyObject* object, FloatSpan& out);

}  // namespace vesparil::binding
