// Conversions between Python values and the module's own values.
//
// `extract(object, out)` converts one Python value and returns false with the raw exception set;
// `argument(name, object, out)` does the same for a bound argument and applies the
// argument-error wrapping ("argument '{name}': ..."). `to_python(value)` builds a new object.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "binding/errors.hpp"
#include "binding/ref.hpp"

namespace vesparil::binding {

// A timedelta argument, only type-tested while binding (borrowed: it lives as long as the call).
struct Timedelta {
    PyObject* object = nullptr;
};

// A non-negative duration converted from a timedelta.
struct Duration {
    std::uint64_t seconds = 0;
    std::uint32_t nanoseconds = 0;  // below 1e9
    double as_seconds() const {
        return static_cast<double>(seconds) + static_cast<double>(nanoseconds) / 1e9;
    }
};

// A dict of str keys as distinct names, in the dict's insertion order (so a call gives the same
// bits in every process).
template <class T>
using NamedComponents = std::vector<std::pair<std::string, T>>;

bool extract(PyObject* object, double& out);
bool extract(PyObject* object, std::int32_t& out);
bool extract(PyObject* object, std::int64_t& out);
bool extract(PyObject* object, std::size_t& out);
bool extract(PyObject* object, bool& out);
bool extract(PyObject* object, std::string& out);
bool extract(PyObject* object, std::vector<double>& out);
bool extract(PyObject* object, Timedelta& out);

// A float-vector argument that is only read during the call: a contiguous float64 NumPy array
// is viewed in place (its buffer export keeps it alive and unresized until the view is
// released); anything else is converted into an owned vector. Same values as a float vector.
class FloatSpan {
public:
    FloatSpan() = default;
    FloatSpan(const FloatSpan&) = delete;
    FloatSpan& operator=(const FloatSpan&) = delete;
    ~FloatSpan() {
        if (viewing_) PyBuffer_Release(&view_);
    }
    std::span<const double> values() const { return values_; }

private:
    friend bool extract(PyObject* object, FloatSpan& out);
    std::vector<double> owned_;
    Py_buffer view_{};
    bool viewing_ = false;
    std::span<const double> values_;
};
bool extract(PyObject* object, FloatSpan& out);

// The conversion of one Python value to a T, as a customisation point: the primary template uses
// the `extract` overloads above; containers, module classes (binding/classes.hpp) and unions
// specialise it.
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

// Walks a dict's items in insertion order; `visit(key, value)` returns false to stop with an
// exception set. Holds the dict's lock on free-threaded builds.
template <class Visit>
bool for_each_item(PyObject* dict, Visit&& visit) {
    bool ok = true;
#if PY_VERSION_HEX >= 0x030D0000
    Py_BEGIN_CRITICAL_SECTION(dict);
#endif
    Py_ssize_t position = 0;
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(dict, &position, &key, &value)) {
        // Held while visited: a conversion that ran Python code could otherwise free them.
        const Ref held_key = Ref::borrow(key);
        const Ref held_value = Ref::borrow(value);
        if (!visit(key, value)) {
            ok = false;
            break;
        }
    }
#if PY_VERSION_HEX >= 0x030D0000
    Py_END_CRITICAL_SECTION();
#endif
    return ok;
}

template <class T>
struct Extract<NamedComponents<T>> {
    static bool from(PyObject* object, NamedComponents<T>& out) {
        if (!PyDict_Check(object)) {
            raise_cast_error(object, "dict");
            return false;
        }
        out.clear();
        out.reserve(static_cast<std::size_t>(PyDict_GET_SIZE(object)));
        // Keys are compared as text: two distinct str objects with the same text (possible with
        // str subclasses) name one component, and the later value replaces the earlier one.
        std::unordered_map<std::string, std::size_t> position;
        return for_each_item(object, [&](PyObject* key, PyObject* value) {
            std::string name;
            if (!extract(key, name)) return false;
            T component{};
            if (!Extract<T>::from(value, component)) return false;
            const auto [slot, inserted] = position.try_emplace(name, out.size());
            if (inserted) {
                out.emplace_back(std::move(name), std::move(component));
            } else {
                out[slot->second].second = std::move(component);
            }
            return true;
        });
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

// A timedelta as a non-negative duration; a negative one raises ValueError (never wrapped with
// the argument name).
bool to_duration(const Timedelta& value, Duration& out);

// Makes the datetime C API available; called once when the module is executed.
bool import_datetime();

Ref to_python(double value);
Ref to_python(std::int64_t value);
Ref to_python(std::size_t value);
Ref to_python(const std::string& value);
Ref to_python(const std::vector<double>& values);
Ref to_python(const std::optional<double>& value);
// A timedelta of whole seconds, normalised into days and seconds.
Ref timedelta_from_seconds(std::int64_t seconds);

}  // namespace vesparil::binding
