#include "binding/convert.hpp"

#include <limits>

namespace vesparil::binding {

namespace {

constexpr const char* kOutOfRange = "out of range integral type conversion attempted";

bool is_numpy_bool(PyTypeObject* type) {
    return type_is(type, "numpy", "bool_") || type_is(type, "numpy", "bool");
}

}  // namespace

bool type_is(PyTypeObject* type, const char* module, const char* name) {
    Ref module_name =
        Ref::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__module__"));
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
        const inquiry truth = type->tp_as_number != nullptr ? type->tp_as_number->nb_bool : nullptr;
        if (truth == nullptr) {
            const std::string name = type_name(object);
            PyErr_Format(PyExc_TypeError,
                         "object of type '%s' does not define a '__bool__' conversion",
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

Ref to_python(double value) { return Ref::steal(PyFloat_FromDouble(value)); }

Ref to_python(std::int64_t value) { return Ref::steal(PyLong_FromLongLong(value)); }

Ref to_python(std::size_t value) { return Ref::steal(PyLong_FromSize_t(value)); }

Ref to_python(const std::string& value) {
    return Ref::steal(
        PyUnicode_FromStringAndSize(value.data(), static_cast<Py_ssize_t>(value.size())));
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

}  // namespace vesparil::binding
