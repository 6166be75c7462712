#include "binding/arguments.hpp"

#include <cstring>
#include <string>
#include <vector>

#include "binding/errors.hpp"

namespace vesparil::binding {

namespace {

std::string plural(Py_ssize_t count) { return count == 1 ? "was" : "were"; }

bool too_many_positional(const Signature& signature, Py_ssize_t given) {
    const auto total = signature.positional;
    std::string message = signature.callable;
    if (signature.required == total) {
        message += " takes " + std::to_string(total) + " positional arguments but ";
    } else {
        message += " takes from " + std::to_string(signature.required) + " to " +
                   std::to_string(total) + " positional arguments but ";
    }
    message += std::to_string(given) + " " + plural(given) + " given";
    PyErr_SetString(PyExc_TypeError, message.c_str());
    return false;
}

bool missing_required(const Signature& signature, std::span<PyObject*> bound) {
    bool complete = true;
    for (std::size_t i = 0; i < signature.required; ++i) complete = complete && bound[i] != nullptr;
    if (complete) return true;
    std::vector<const char*> missing;
    for (std::size_t i = 0; i < signature.required; ++i) {
        if (bound[i] == nullptr) missing.push_back(signature.names[i]);
    }
    if (missing.empty()) return true;

    std::string list;
    for (std::size_t i = 0; i < missing.size(); ++i) {
        if (i > 0) {
            if (missing.size() > 2) list += ",";
            if (i + 1 == missing.size()) list += " and";
            list += " ";
        }
        list.append("'").append(missing[i]).append("'");
    }
    std::string message = std::string(signature.callable) + " missing " +
                          std::to_string(missing.size()) + " required positional " +
                          (missing.size() == 1 ? "argument" : "arguments") + ": " + list;
    PyErr_SetString(PyExc_TypeError, message.c_str());
    return false;
}

// Whether a keyword is the parameter `name`. An ASCII str (every keyword the interpreter makes
// from source text) is compared as its bytes, skipping the general comparison's decoding.
bool names_parameter(PyObject* key, const char* name) {
    if (PyUnicode_Check(key) && PyUnicode_IS_COMPACT_ASCII(key)) {
        const auto length = static_cast<std::size_t>(PyUnicode_GET_LENGTH(key));
        return std::strlen(name) == length && std::memcmp(PyUnicode_DATA(key), name, length) == 0;
    }
    return PyUnicode_CompareWithASCIIString(key, name) == 0;
}

// Binds one keyword; false with TypeError set when it names no parameter or a bound one.
bool bind_keyword(const Signature& signature, PyObject* key, PyObject* value,
                  std::span<PyObject*> bound) {
    for (std::size_t i = 0; i < signature.names.size(); ++i) {
        if (!names_parameter(key, signature.names[i])) continue;
        if (bound[i] != nullptr) {
            PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'",
                         signature.callable, signature.names[i]);
            return false;
        }
        bound[i] = value;
        return true;
    }
    PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%S'", signature.callable,
                 key);
    return false;
}

}  // namespace

bool bind_arguments(const Signature& signature, PyObject* const* args, Py_ssize_t nargs,
                    PyObject* kwnames, std::span<PyObject*> bound) {
    for (auto& slot : bound) slot = nullptr;
    if (static_cast<std::size_t>(nargs) > signature.positional) {
        return too_many_positional(signature, nargs);
    }
    for (Py_ssize_t i = 0; i < nargs; ++i) bound[static_cast<std::size_t>(i)] = args[i];
    if (kwnames != nullptr) {
        const Py_ssize_t count = PyTuple_GET_SIZE(kwnames);
        for (Py_ssize_t i = 0; i < count; ++i) {
            if (!bind_keyword(signature, PyTuple_GET_ITEM(kwnames, i), args[nargs + i], bound)) {
                return false;
            }
        }
    }
    return missing_required(signature, bound);
}

bool bind_arguments(const Signature& signature, PyObject* args, PyObject* kwargs,
                    std::span<PyObject*> bound) {
    for (auto& slot : bound) slot = nullptr;
    const Py_ssize_t nargs = PyTuple_GET_SIZE(args);
    if (static_cast<std::size_t>(nargs) > signature.positional) {
        return too_many_positional(signature, nargs);
    }
    for (Py_ssize_t i = 0; i < nargs; ++i) {
        bound[static_cast<std::size_t>(i)] = PyTuple_GET_ITEM(args, i);
    }
    if (kwargs != nullptr) {
        Py_ssize_t position = 0;
        PyObject* key = nullptr;
        PyObject* value = nullptr;
        // The dict is the call's own keyword dict: nothing else can see or change it.
        while (PyDict_Next(kwargs, &position, &key, &value)) {
            if (!bind_keyword(signature, key, value, bound)) return false;
        }
    }
    return missing_required(signature, bound);
}

}  // namespace vesparil::binding
