#include "binding/float_vector.hpp"

#include <cstring>
#include <exception>

namespace vesparil::binding {

namespace {

// A one-dimensional, contiguous float64 NumPy array (exactly ndarray, so iteration cannot have
// been overridden) yields by iteration exactly the doubles its buffer holds. On success `view`
// is held and must be released by the caller.
bool get_float64_view(PyObject* object, Py_buffer& view) {
    if (!PyObject_CheckBuffer(object) || !type_is(Py_TYPE(object), "numpy", "ndarray")) {
        return false;
    }
    if (PyObject_GetBuffer(object, &view, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT) != 0) {
        PyErr_Clear();
        return false;
    }
    const bool usable =
        view.ndim == 1 && view.format != nullptr &&
        (std::strcmp(view.format, "d") == 0 || std::strcmp(view.format, "<d") == 0 ||
         std::strcmp(view.format, "=d") == 0) &&
        view.itemsize == sizeof(double);
    if (!usable) PyBuffer_Release(&view);
    return usable;
}

std::span<const double> view_values(const Py_buffer& view) {
    return {static_cast<const double*>(view.buf),
            static_cast<std::size_t>(view.len) / sizeof(double)};
}

bool extract_float64_buffer(PyObject* object, std::vector<double>& out, bool& handled) {
    Py_buffer view;
    handled = get_float64_view(object, view);
    if (!handled) return true;
    const auto values = view_values(view);
    try {
        out.assign(values.begin(), values.end());
    } catch (...) {
        PyBuffer_Release(&view);
        throw;
    }
    PyBuffer_Release(&view);
    return true;
}

bool append_item(PyObject* item, std::vector<double>& out) {
    double value = 0.0;
    if (!extract(item, value)) return false;
    out.push_back(value);
    return true;
}

}  // namespace

bool extract(PyObject* object, std::vector<double>& out) {
    out.clear();
    if (PyUnicode_Check(object)) {
        PyErr_SetString(PyExc_TypeError, "can't extract `str` to a float vector");
        return false;
    }
    if (!PySequence_Check(object)) {
        raise_cast_error(object, "Sequence");
        return false;
    }
    if (PyList_CheckExact(object) || PyTuple_CheckExact(object)) {
        // Items are read one at a time: an item's __float__ may run code that shrinks the list.
        out.reserve(static_cast<std::size_t>(PySequence_Fast_GET_SIZE(object)));
        for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(object); ++i) {
            Ref item = Ref::borrow(PySequence_Fast_GET_ITEM(object, i));
            if (!append_item(item.get(), out)) return false;
        }
        return true;
    }
    bool handled = false;
    if (!extract_float64_buffer(object, out, handled)) return false;
    if (handled) return true;

    // len() is only a capacity hint: a failing or lying len() must not decide the length.
    const Py_ssize_t hint = PySequence_Size(object);
    if (hint < 0) {
        PyErr_Clear();
    } else {
        try {
            out.reserve(static_cast<std::size_t>(hint));
        } catch (const std::exception&) {
            // An impossible hint is ignored; iteration decides.
        }
    }
    Ref iterator = Ref::steal(PyObject_GetIter(object));
    if (!iterator) return false;
    while (Ref item = Ref::steal(PyIter_Next(iterator.get()))) {
        if (!append_item(item.get(), out)) return false;
    }
    return !PyErr_Occurred();
}

bool extract(PyObject* object, FloatSpan& out) {
    if (!PyUnicode_Check(object) && get_float64_view(object, out.view_)) {
        out.viewing_ = true;
        out.values_ = view_values(out.view_);
        return true;
    }
    if (!extract(object, out.owned_)) return false;
    out.values_ = out.owned_;
    return true;
}

}  // namespace vesparil::binding
