// Two-dimensional float64 arrays read in place, for a batch's parameter table.
#pragma once

#include <Python.h>

#include <cstddef>
#include <span>
#include <vector>

namespace vesparil::binding {

// A held C-contiguous buffer export of float64 items in two dimensions (a NumPy array or any
// object with such a buffer); released on destruction, so the object cannot be resized while it
// is read.
class FloatMatrix {
public:
    FloatMatrix() = default;
    FloatMatrix(const FloatMatrix&) = delete;
    FloatMatrix& operator=(const FloatMatrix&) = delete;
    ~FloatMatrix() {
        if (held_) PyBuffer_Release(&view_);
    }

    std::size_t rows() const { return rows_; }
    std::size_t columns() const { return columns_; }
    std::span<const double> values() const {
        if (!copy_.empty()) return copy_;
        return {static_cast<const double*>(view_.buf), rows_ * columns_};
    }

private:
    friend bool extract(PyObject* object, FloatMatrix& out);
    Py_buffer view_{};
    bool held_ = false;
    std::vector<double> copy_;  // the values of an unaligned buffer, which is not read in place
    std::size_t rows_ = 0;
    std::size_t columns_ = 0;
};

// TypeError "'{type}' object is not a C-contiguous two-dimensional float64 array" otherwise.
bool extract(PyObject* object, FloatMatrix& out);

}  // namespace vesparil::binding
