#include "binding/float_vector.hpp"

#include <algorithm>
#include <cstddef>

#include "binding/numpy_array.hpp"

namespace vesparil::binding {

namespace {

// Items reserved from a len() before any is read: 512 KiB of doubles. Beyond it the vector's own
// growth costs a few copies, little beside converting the items one by one.
constexpr std::size_t kTrustedHint = std::size_t{1} << 16;

bool append_item(PyObject* item, std::vector<double>& out) {
    double value = 0.0;
    if (!extract(item, value)) return false;
    out.push_back(value);
    return true;
}

// Items are read one at a time: an item's __float__ may run code that shrinks the sequence.
bool extract_list_or_tuple(PyObject* object, std::vector<double>& out) {
    out.reserve(static_cast<std::size_t>(PySequence_Fast_GET_SIZE(object)));
#if defined(Py_GIL_DISABLED)
    if (PyList_CheckExact(object)) {
        // Another thread may replace an item while it is read: take the reference atomically.
        for (Py_ssize_t i = 0; i < PyList_GET_SIZE(object); ++i) {
            Ref item = Ref::steal(PyList_GetItemRef(object, i));
            if (!item) {
                // Shrunk by another thread since the size was read: the items end here.
                if (!PyErr_ExceptionMatches(PyExc_IndexError)) return false;
                PyErr_Clear();
                return true;
            }
            if (!append_item(item.get(), out)) return false;
        }
        return true;
    }
#endif
    for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(object); ++i) {
        Ref item = Ref::borrow(PySequence_Fast_GET_ITEM(object, i));
        if (!append_item(item.get(), out)) return false;
    }
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
        return extract_list_or_tuple(object, out);
    }
    {
        ArrayView view;
        if (view.open(object)) {
            convert_array(view, out);
            return true;
        }
    }

    // len() is only a capacity hint: a failing or lying len() must not decide the length, nor
    // the memory the result holds for its lifetime. Up to kTrustedHint items are reserved at
    // once; a longer sequence grows the vector as its items arrive, so a len() that claims
    // billions of items for three leaves no reservation of gigabytes behind.
    const Py_ssize_t hint = PySequence_Size(object);
    if (hint < 0) {
        PyErr_Clear();
    } else {
        out.reserve(std::min(static_cast<std::size_t>(hint), kTrustedHint));
    }
    Ref iterator = Ref::steal(PyObject_GetIter(object));
    if (!iterator) return false;
    while (Ref item = Ref::steal(PyIter_Next(iterator.get()))) {
        if (!append_item(item.get(), out)) return false;
    }
    return !PyErr_Occurred();
}

bool extract(PyObject* object, FloatSpan& out) {
    if (!PyUnicode_Check(object) && out.view_.open(object)) {
        if (out.view_.element() == Element::float64) {
            // Read in place: the export keeps the array alive, and unresizable through NumPy's
            // checked resize (resize(refcheck=False) from another thread is NumPy's documented
            // unsafe override, which frees the buffer under any reader, a memoryview's too).
            out.values_ = {out.view_.items<double>(), out.view_.size()};
            return true;
        }
        convert_array(out.view_, out.owned_);
        out.values_ = out.owned_;
        return true;
    }
    if (!extract(object, out.owned_)) return false;
    out.values_ = out.owned_;
    return true;
}

}  // namespace vesparil::binding
