#include "binding/convert.hpp"

#include <datetime.h>

#include <cstring>
#include <limits>

namespace vesparil::binding {

namespace {

constexpr const char* kOutOfRange = "out of range integral type conversion attempted";

// The name of a type's defining module ("numpy" for NumPy scalars), or empty.
bool type_is(PyTypeObject* type, const char* module, const char* name) {
    Ref module_name = Ref::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type),
                                                        "__module__"));
    if (!module_name) {
        PyErr_Clear();
        return false;
    }
    if (!PyUnicode_Check(module_name.get()) ||
        PyUnicode_CompareWithASCIIString(module_name.get(), module) != 0) {
        return false;
    }
    Ref type_name = Ref::steal(PyType_GetName(type));
    if (!type_name) {
        PyErr_Clear();
        return false;
    }
    return PyUnicode_CompareWithASCIIString(type_name.get(), name) == 0;
}

bool is_numpy_bool(PyTypeObject* type) {
    return type_is(type, "numpy", "bool_") || type_is(type, "numpy", "bool");
}

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
    const bool usable = view.ndim == 1 && view.format != nullptr &&
                        (std::strcmp(view.format, "d") == 0 || std::strcmp(view.format, "<d") == 0 ||
                         std::strcmp(view.format, "=d") == 0) &&
                        view.itemsize == sizeof(double);
    if (!usable) PyBuffer_Release(&view);
    return usable;
}

std::span<const double> view_values(const Py_buffer& view) {
    return {static_cast<const double*>(view.buf), static_cast<std::size_t>(view.len) / sizeof(double)};
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

bool extract(PyObject* object, double& out) {
    if (PyFloat_CheckExact(object)) {
        out = PyFloat_AS_DOUBLE(object);
        return true;
    }
    const double value = PyFloat_AsDouble(object);
    if (value == -1.0 && PyErr_Occurred()) return false;
    out = value;
    return true;
}

bool extract(PyObject* object, std::int64_t& out) {
    const long long value = PyLong_AsLongLong(object);
    if (value == -1 && PyErr_Occurred()) return false;
    out = static_cast<std::int64_t>(value);
    return true;
}

bool extract(PyObject* object, std::int32_t& out) {
    std::int64_t wide = 0;
    if (!extract(object, wide)) return false;
    if (wide < std::numeric_limits<std::int32_t>::min() ||
        wide > std::numeric_limits<std::int32_t>::max()) {
        PyErr_SetString(PyExc_OverflowError, kOutOfRange);
        return false;
    }
    out = static_cast<std::int32_t>(wide);
    return true;
}

bool extract(PyObject* object, std::size_t& out) {
    Ref index = Ref::steal(PyNumber_Index(object));
    if (!index) return false;
    const unsigned long long value = PyLong_AsUnsignedLongLong(index.get());
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
    if (value > std::numeric_limits<std::size_t>::max()) {
        PyErr_SetString(PyExc_OverflowError, kOutOfRange);
        return false;
    }
    out = static_cast<std::size_t>(value);
    return true;
}

bool extract(PyObject* object, bool& out) {
    if (object == Py_True || object == Py_False) {
        out = object == Py_True;
        return true;
    }
    PyTypeObject* type = Py_TYPE(object);
    if (is_numpy_bool(type)) {
        const inquiry truth = type->tp_as_number != nullptr ? type->tp_as_number->nb_bool
                                                            : nullptr;
        if (truth == nullptr) {
            const std::string name = type_name(object);
            PyErr_Format(PyExc_TypeError, "object of type '%s' does not define a '__bool__' conversion",
                         name.c_str());
            return false;
        }
        const int value = truth(object);
        if (value < 0) return false;
        out = value != 0;
        return true;
    }
    raise_cast_error(object, "bool");
    return false;
}

bool extract(PyObject* object, std::string& out) {
    if (!PyUnicode_Check(object)) {
        raise_cast_error(object, "str");
        return false;
    }
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(object, &size);
    if (text == nullptr) return false;
    out.assign(text, static_cast<std::size_t>(size));
    return true;
}

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

bool import_datetime() {
    if (PyDateTimeAPI != nullptr) return true;
    PyDateTime_IMPORT;
    return PyDateTimeAPI != nullptr;
}

bool extract(PyObject* object, Timedelta& out) {
    if (!import_datetime()) return false;
    if (!PyDelta_Check(object)) {
        raise_cast_error(object, "timedelta");
        return false;
    }
    out.object = object;
    return true;
}

bool to_duration(const Timedelta& value, Duration& out) {
    const int days = PyDateTime_DELTA_GET_DAYS(value.object);
    const int seconds = PyDateTime_DELTA_GET_SECONDS(value.object);
    const int microseconds = PyDateTime_DELTA_GET_MICROSECONDS(value.object);
    if (days < 0) {
        PyErr_SetString(PyExc_ValueError, "a negative timedelta cannot be converted to a duration");
        return false;
    }
    out.seconds = static_cast<std::uint64_t>(days) * 86400u + static_cast<std::uint64_t>(seconds);
    out.nanoseconds = static_cast<std::uint32_t>(microseconds) * 1000u;
    return true;
}

Ref to_python(double value) { return Ref::steal(PyFloat_FromDouble(value)); }

Ref to_python(std::int64_t value) { return Ref::steal(PyLong_FromLongLong(value)); }

Ref to_python(std::size_t value) { return Ref::steal(PyLong_FromSize_t(value)); }

Ref to_python(const std::string& value) {
    return Ref::steal(PyUnicode_FromStringAndSize(value.data(),
                                                  static_cast<Py_ssize_t>(value.size())));
}

Ref to_python(const std::vector<double>& values) {
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(values.size())));
    if (!list) return list;
    for (std::size_t i = 0; i < values.size(); ++i) {
        PyObject* item = PyFloat_FromDouble(values[i]);
        if (item == nullptr) return {};
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
    }
    return list;
}

Ref to_python(const std::optional<double>& value) {
    if (!value) return Ref::borrow(Py_None);
    return to_python(*value);
}

Ref timedelta_from_seconds(std::int64_t seconds) {
    if (!import_datetime()) return {};
    const auto days = static_cast<int>(seconds / 86400);
    const auto rest = static_cast<int>(seconds % 86400);
    return Ref::steal(PyDelta_FromDSU(days, rest, 0));
}

}  // namespace vesparil::binding
