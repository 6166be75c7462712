// A float argument that is either one series or the rows of an ensemble (members x steps), only
// read during the call.
#pragma once

#include <Python.h>

#include <memory>
#include <span>
#include <vector>

#include "binding/float_vector.hpp"
#include "binding/numpy_array.hpp"

namespace vesparil::binding {

// A NumPy array is read from its buffer: a one-dimensional one as a FloatSpan reads it, a
// C-contiguous two-dimensional float64 one as rows in place (its buffer export pins it until the
// FloatRows is destroyed). A list or tuple whose first item is itself a sequence (not text) gives
// one row per item, each read like a FloatSpan (arrays in place, the rest converted). Anything
// else is one series, converted like a float vector. Rows may differ in length here: the core
// that uses them names the first that does.
class FloatRows {
public:
    FloatRows() = default;
    FloatRows(const FloatRows&) = delete;
    FloatRows& operator=(const FloatRows&) = delete;

    // False for one series, which is then the only row.
    bool two_dimensional() const { return two_dimensional_; }
    std::span<const std::span<const double>> rows() const {
        if (!two_dimensional_) return {&single_, 1};
        return rows_;
    }

private:
    friend bool extract(PyObject* object, FloatRows& out);
    ArrayView array_;
    std::vector<double> converted_;
    std::vector<std::unique_ptr<FloatSpan>> row_arguments_;
    std::span<const double> single_;
    std::vector<std::span<const double>> rows_;
    bool two_dimensional_ = false;
};

bool extract(PyObject* object, FloatRows& out);

}  // namespace vesparil::binding
