#include "binding/errors.hpp"

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "binding/process_wide.hpp"

namespace vesparil::binding {

namespace {

constexpr const char* kPanicDoc =
    "Raised when the module meets an internal error (a failed check of its own code).\n\n"
    "It derives from BaseException rather than Exception so that it normally propagates\n"
    "to the top instead of being swallowed by `except Exception:`.";

constexpr const char* kGenericPanicMessage = "an internal error occurred in vesparil";

// The part of a source path from "src/" on, so diagnostics do not depend on the build folder.
std::string_view short_path(std::string_view path) {
    const auto at = path.rfind("src/");
    return at == std::string_view::npos ? path : path.substr(at);
}

Ref fetch_exception() {
#if PY_VERSION_HEX >= 0x030C0000
    return Ref::steal(PyErr_GetRaisedException());
#else
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    if (type == nullptr) return {};
    PyErr_NormalizeException(&type, &value, &traceback);
    if (traceback != nullptr && value != nullptr) PyException_SetTraceback(value, traceback);
    Py_XDECREF(type);
    Py_XDECREF(traceback);
    return Ref::steal(value);
#endif
}

void restore_exception(Ref exception) {
#if PY_VERSION_HEX >= 0x030C0000
    PyErr_SetRaisedException(exception.release());
#else
    PyObject* value = exception.release();
    PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(value));
    Py_INCREF(type);
    PyErr_Restore(type, value, PyException_GetTraceback(value));
#endif
}

}  // namespace

Borrowed panic_exception_type() {
    static std::atomic<PyObject*> created{nullptr};
    static CreationGuard guard;
    // Kept until the process ends, like the module's classes.
    return create_once(created, guard, [] {
        return PyErr_NewExceptionWithDoc("vesparil.PanicException", kPanicDoc, PyExc_BaseException,
                                         nullptr);
    });
}

std::nullptr_t raise_internal(std::string message, std::source_location where) {
    return raise(Error::internal(std::move(message), where));
}

std::nullptr_t raise(const Error& error) {
    switch (error.kind) {
        case ErrorKind::Value:
            PyErr_SetString(PyExc_ValueError, error.message.c_str());
            break;
        case ErrorKind::Type:
            PyErr_SetString(PyExc_TypeError, error.message.c_str());
            break;
        case ErrorKind::Overflow:
            PyErr_SetString(PyExc_OverflowError, error.message.c_str());
            break;
        case ErrorKind::Runtime:
            PyErr_SetString(PyExc_RuntimeError, error.message.c_str());
            break;
        case ErrorKind::Memory:
            PyErr_NoMemory();
            break;
        case ErrorKind::Interrupted:
            // The signal handler's exception (KeyboardInterrupt) is already pending.
            if (!PyErr_Occurred()) PyErr_SetNone(PyExc_KeyboardInterrupt);
            break;
        case ErrorKind::Internal: {
            const std::string& text =
                error.message.empty() ? std::string(kGenericPanicMessage) : error.message;
            const auto thread = std::hash<std::thread::id>{}(std::this_thread::get_id());
            const std::string_view file = short_path(error.where.file_name());
            std::fprintf(stderr, "vesparil: internal error in thread %zx at %.*s:%u:%u:\n%s\n",
                         thread, static_cast<int>(file.size()), file.data(), error.where.line(),
                         error.where.column(), text.c_str());
            std::fflush(stderr);
            const Borrowed type = panic_exception_type();
            if (!type) break;
            Ref message = Ref::steal(
                PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
            if (!message) break;
            PyErr_SetObject(type.get(), message.get());
            break;
        }
    }
    return nullptr;
}

std::string type_name(PyObject* object) {
    Ref name = Ref::steal(PyType_GetQualName(Py_TYPE(object)));
    if (!name) {
        PyErr_Clear();
        return Py_TYPE(object)->tp_name;
    }
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(name.get(), &size);
    if (text == nullptr) {
        PyErr_Clear();
        return Py_TYPE(object)->tp_name;
    }
    return std::string(text, static_cast<std::size_t>(size));
}

std::string cast_error_message(PyObject* object, std::string_view expected) {
    std::string message;
    if (object == Py_None) {
        message.append("'None' is not an instance of '");
    } else {
        message.append("'").append(type_name(object)).append("' object is not an instance of '");
    }
    message.append(expected).append("'");
    return message;
}

std::nullptr_t raise_cast_error(PyObject* object, std::string_view expected) {
    PyErr_SetString(PyExc_TypeError, cast_error_message(object, expected).c_str());
    return nullptr;
}

void wrap_argument_error(const char* name) {
    Ref original = fetch_exception();
    if (!original) return;
    if (!Py_IS_TYPE(original.get(), reinterpret_cast<PyTypeObject*>(PyExc_TypeError))) {
        restore_exception(std::move(original));
        return;
    }
    Ref text = Ref::steal(PyObject_Str(original.get()));
    if (!text) return;
    Ref message = Ref::steal(PyUnicode_FromFormat("argument '%s': %U", name, text.get()));
    if (!message) return;
    Ref replaced = Ref::steal(PyObject_CallOneArg(PyExc_TypeError, message.get()));
    if (!replaced) return;
    // PyException_SetCause steals the cause (which may be null).
    PyException_SetCause(replaced.get(), PyException_GetCause(original.get()));
    restore_exception(std::move(replaced));
}

}  // namespace vesparil::binding
