#include "binding/float_matrix.hpp"

#include <cstdint>
#include <cstring>
#include <string>

#include "binding/errors.hpp"

namespace vesparil::binding {

namespace {

// "d" with an optional native byte-order prefix.
bool is_native_double(const char* format) {
    if (format == nullptr) return false;
    if (*format == '@' || *format == '=' || *format == '<') ++format;
    return std::strcmp(format, "d") == 0;
}

}  // namespace

bool extract(PyObject* object, FloatMatrix& out) {
    const auto refuse = [&] {
        PyErr_SetString(PyExc_TypeError,
                        ("'" + type_name(object) +
                         "' object is not a C-contiguous two-dimensional float64 array")
                            .c_str());
        return false;
    };
    if (!PyObject_CheckBuffer(object)) return refuse();
    Py_buffer view{};
    if (PyObject_GetBuffer(object, &view, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT) < 0) {
        PyErr_Clear();
        return refuse();
    }
    if (view.ndim != 2 || view.itemsize != 8 || !is_native_double(view.format)) {
        PyBuffer_Release(&view);
        return refuse();
    }
    out.rows_ = static_cast<std::size_t>(view.shape[0]);
    out.columns_ = static_cast<std::size_t>(view.shape[1]);
    if (reinterpret_cast<std::uintptr_t>(view.buf) % alignof(double) != 0) {
        // An unaligned buffer (a table unpickled in place, a memoryview at an odd offset) is
        // copied: doubles cannot be read where they are.
        out.copy_.resize(out.rows_ * out.columns_);
        if (!out.copy_.empty()) std::memcpy(out.copy_.data(), view.buf, out.copy_.size() * 8);
        PyBuffer_Release(&view);
        return true;
    }
    out.view_ = view;
    out.held_ = true;
    return true;
}

}  // namespace vesparil::binding
