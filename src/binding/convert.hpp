// Conversions between Python values and plain values.
//
// `extract(object, out)` converts one Python value and returns false with the raw exception set;
// `argument(name, object, out)` does the same for a bound argument and applies the
// argument-error wrapping ("argument '{name}': ..."). `to_python(value)` builds a new object.
// Durations are in binding/timedelta.hpp, read-only float arrays in binding/float_vector.hpp,
// dicts of named components in binding/containers.hpp, records in binding/record_argument.hpp
// and unions of records in binding/first_of.hpp.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "binding/errors.hpp"
#include "binding/ref.hpp"

namespace vesparil::binding {

bool extract(PyObject* object, double& out);
bool extract(PyObject* object, std::int32_t& out);
bool extract(PyObject* object, std::int64_t& out);
bool extract(PyObject* object, std::size_t& out);
bool extract(PyObject* object, bool& out);
bool extract(PyObject* object, std::string& out);
// Any non-text sequence of float-convertible items (binding/float_vector.cpp).
bool extract(PyObject* object, std::vector<double>& out);

// True when `type` is `module`.`name` (e.g. numpy.ndarray), without importing that module.
bool type_is(PyTypeObject* type, const char* module, const char* name);

// The conversion of one Python value to a T, as a customisation point: the primary template uses
// the `extract` overloads; containers, records and unions of records specialise it.
template <class T>
struct Extract {
    static bool from(PyObject* object, T& out) { return extract(object, out); }
};

template <class T>
struct Extract<std::optional<T>> {
    static bool from(PyObject* object, std::optional<T>& out) {
        if (object == nullptr || object == Py_None) {
            out.reset();
            return true;
        }
        T value{};
        if (!Extract<T>::from(object, value)) return false;
        out = std::move(value);
        return true;
    }
};

// Converts a bound argument; a missing optional argument (nullptr) leaves `out` at its default.
template <class T>
bool argument(const char* name, PyObject* object, T& out) {
    if (object == nullptr) return true;
    if (Extract<T>::from(object, out)) return true;
    wrap_argument_error(name);
    return false;
}

Ref to_python(double value);
Ref to_python(std::int64_t value);
Ref to_python(std::size_t value);
Ref to_python(const std::string& value);
Ref to_python(const std::vector<double>& values);
Ref to_python(const std::optional<double>& value);

// to_python as a function object, for getters.
struct ToPython {
    template <class T>
    Ref operator()(const T& value) const {
        return to_python(value);
    }
};

}  // namespace vesparil::binding
