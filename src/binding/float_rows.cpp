#include "binding/float_rows.hpp"

namespace vesparil::binding {

namespace {

// True when `object` is a list, a tuple or a NumPy array (one that could not be read in place)
// whose first item is itself a non-text sequence.
bool holds_rows(PyObject* object) {
    if (!PyList_CheckExact(object) && !PyTuple_CheckExact(object) &&
        !type_is(Py_TYPE(object), "numpy", "ndarray")) {
        return false;
    }
    Ref first = Ref::steal(PySequence_GetItem(object, 0));
    if (!first) {
        // Empty, or a zero-dimensional array: one series, whose reading says what is wrong.
        PyErr_Clear();
        return false;
    }
    PyObject* item = first.get();
    return !PyUnicode_Check(item) && !PyBytes_Check(item) && PySequence_Check(item);
}

}  // namespace

bool extract(PyObject* object, FloatRows& out) {
    if (out.array_.open(object, 2)) {
        if (out.array_.dimensions() == 1) {
            if (out.array_.element() == Element::float64) {
                out.single_ = {out.array_.items<double>(), out.array_.size()};
            } else {
                convert_array(out.array_, out.converted_);
                out.single_ = out.converted_;
            }
            return true;
        }
        const std::size_t members = out.array_.extent(0);
        const std::size_t steps = out.array_.extent(1);
        const double* items = out.array_.items<double>();
        out.rows_.reserve(members);
        for (std::size_t k = 0; k < members; ++k) out.rows_.emplace_back(items + k * steps, steps);
        out.two_dimensional_ = true;
        return true;
    }
    if (holds_rows(object)) {
        // The rows are read from a list of our own: a row's __float__ may change the argument.
        Ref rows = Ref::steal(PySequence_List(object));
        if (!rows) return false;
        const Py_ssize_t count = PyList_GET_SIZE(rows.get());
        out.row_arguments_.reserve(static_cast<std::size_t>(count));
        out.rows_.reserve(static_cast<std::size_t>(count));
        for (Py_ssize_t k = 0; k < count; ++k) {
            auto row = std::make_unique<FloatSpan>();
            if (!extract(PyList_GET_ITEM(rows.get(), k), *row)) return false;
            out.rows_.push_back(row->values());
            out.row_arguments_.push_back(std::move(row));
        }
        out.two_dimensional_ = true;
        return true;
    }
    // Not an array read above: the float-vector conversion, which decides what is accepted.
    if (!extract(object, out.converted_)) return false;
    out.single_ = out.converted_;
    return true;
}

}  // namespace vesparil::binding
