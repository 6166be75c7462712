// Float-vector arguments that are only read during the call.
#pragma once

#include <Python.h>

#include <span>
#include <vector>

#include "binding/convert.hpp"

namespace vesparil::binding {

// A contiguous float64 NumPy array is viewed in place (its buffer export keeps it alive and
// unresized until the view is released); anything else is converted into an owned vector. Same
// values as a float vector.
class FloatSpan {
public:
    FloatSpan() = default;
    FloatSpan(const FloatSpan&) = delete;
    FloatSpan& operator=(const FloatSpan&) = delete;
    ~FloatSpan() {
        if (viewing_) PyBuffer_Release(&view_);
    }
    std::span<const double> values() const { return values_; }

private:
    friend bool extract(PyObject* object, FloatSpan& out);
    std::vector<double> owned_;
    Py_buffer view_{};
    bool viewing_ = false;
    std::span<const double> values_;
};

bool extract(PyObject* object, FloatSpan& out);

}  // namespace vesparil::binding
