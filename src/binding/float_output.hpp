// An `out=` argument: a writable buffer of float64 items that a call fills in place.
#pragma once

#include <Python.h>

#include <span>

#include "binding/ref.hpp"

namespace vesparil::binding {

// Holds the buffer export of any object exporting a writable, C-contiguous, one-dimensional
// buffer of native float64 items (a NumPy array, array.array("d"), a memoryview of one) until
// destroyed, which keeps it alive and unresizable while it is written. None, or no argument,
// leaves it empty.
class FloatOutput {
public:
    FloatOutput() = default;
    FloatOutput(const FloatOutput&) = delete;
    FloatOutput& operator=(const FloatOutput&) = delete;
    ~FloatOutput() {
        if (held_) PyBuffer_Release(&view_);
    }

    bool given() const { return held_; }
    // Only when given().
    std::span<double> values() const {
        return {static_cast<double*>(view_.buf), static_cast<std::size_t>(view_.len) / sizeof(double)};
    }
    // The object given, to return it as the call's result; only when given().
    Ref object() const { return Ref::borrow(view_.obj); }

private:
    friend bool extract(PyObject* object, FloatOutput& out);
    Py_buffer view_;  // filled, and read, only once held_
    bool held_ = false;
};

bool extract(PyObject* object, FloatOutput& out);

}  // namespace vesparil::binding
