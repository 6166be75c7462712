#include "binding/float_output.hpp"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "binding/errors.hpp"

namespace vesparil::binding {

namespace {

bool is_native_float64(const Py_buffer& view) {
    const char* format = view.format;
    if (format == nullptr || view.itemsize != sizeof(double)) return false;
    if (*format == '@' || *format == '=' ||
        (*format == '<' && std::endian::native == std::endian::little)) {
        ++format;
    }
    return std::strcmp(format, "d") == 0;
}

}  // namespace

bool extract(PyObject* object, FloatOutput& out) {
    if (object == Py_None) return true;
    if (PyObject_CheckBuffer(object) &&
        PyObject_GetBuffer(object, &out.view_,
                           PyBUF_WRITABLE | PyBUF_FORMAT | PyBUF_C_CONTIGUOUS) == 0) {
        out.held_ = true;
        if (out.view_.ndim == 1 && is_native_float64(out.view_)) {
            if (reinterpret_cast<std::uintptr_t>(out.view_.buf) % alignof(double) == 0) return true;
            const std::string message =
                "'" + type_name(object) + "' object's buffer is not aligned to 8 bytes";
            PyErr_SetString(PyExc_TypeError, message.c_str());
            return false;
        }
    }
    PyErr_Clear();
    const std::string message =
        "'" + type_name(object) + "' object is not a writable one-dimensional float64 buffer";
    PyErr_SetString(PyExc_TypeError, message.c_str());
    return false;
}

}  // namespace vesparil::binding
