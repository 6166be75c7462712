// Turning error values into Python exceptions, in one place.
#pragma once

#include <Python.h>

#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "binding/ref.hpp"
#include "core/result.hpp"

namespace vesparil::binding {

// Raises `error` as the matching Python exception; internal errors also write a diagnostic to
// standard error. Always returns nullptr so callers can `return raise(...)`.
std::nullptr_t raise(const Error& error);

// Raises the internal-error exception for a failed check of the binding layer itself.
std::nullptr_t raise_internal(std::string message,
                              std::source_location where = std::source_location::current());

// The process-wide internal-error class (derives directly from BaseException), created on
// first need; null with an exception set when it could not be created.
Borrowed panic_exception_type();

// "'{type}' object is not an instance of '{expected}'", or
// "'None' is not an instance of '{expected}'" for None.
std::string cast_error_message(PyObject* object, std::string_view expected);

// TypeError with cast_error_message(object, expected).
std::nullptr_t raise_cast_error(PyObject* object, std::string_view expected);

// Qualified name of an object's type, as in "'list' object ...".
std::string type_name(PyObject* object);

// After a failed conversion of argument `name`: an exact TypeError is replaced by
// TypeError("argument '{name}': {original}") keeping the original's __cause__; any other
// exception is left as it is.
void wrap_argument_error(const char* name);

// Runs a binding body so that no C++ exception reaches the interpreter: exhausted memory becomes
// MemoryError, an impossible size the internal error "capacity overflow", anything else an
// internal error.
template <class Body>
auto guarded(Body&& body) noexcept -> decltype(body()) {
    using Return = decltype(body());
    constexpr bool returns_object = std::is_pointer_v<Return>;
    const auto failure = [] {
        if constexpr (returns_object) {
            return Return{nullptr};
        } else {
            return Return{-1};
        }
    };
    try {
        return body();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::length_error&) {
        raise_internal("capacity overflow");
    } catch (const std::exception& exception) {
        raise_internal(exception.what());
    } catch (...) {
        raise_internal("");
    }
    return failure();
}

}  // namespace vesparil::binding
