// The argument parser: binds positional and keyword arguments to a fixed parameter list.
//
// The first `required` parameters are required and the rest optional (absent when not given);
// those after the first `positional` may only be given by keyword. Binding failures raise TypeError with the messages
// users know from Python functions, prefixed with the callable's full name ("f()" for a function,
// "Class.method()" for a method, "Class.__new__()" for a constructor).
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <span>

namespace vesparil::binding {

struct Signature {
    const char* callable;                // "run_clark_uh()", "LinearReservoir.__new__()"
    std::span<const char* const> names;  // parameter names, in order
    std::size_t required;                // how many leading parameters must be given
    std::size_t positional;              // how many leading parameters may be given by position
};

// Vectorcall form (METH_FASTCALL | METH_KEYWORDS). On success `bound[i]` is a borrowed pointer to
// the argument of parameter i, or nullptr when an optional parameter was not given.
bool bind_arguments(const Signature& signature, PyObject* const* args, Py_ssize_t nargs,
                    PyObject* kwnames, std::span<PyObject*> bound);

// Tuple-and-dict form, for tp_new.
bool bind_arguments(const Signature& signature, PyObject* args, PyObject* kwargs,
                    std::span<PyObject*> bound);

}  // namespace vesparil::binding
