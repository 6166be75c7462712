// Dictionaries of named components (baseflow layers, reservoir outlets), in and out.
#pragma once

#include <Python.h>

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "binding/convert.hpp"
#include "binding/errors.hpp"
#include "binding/ref.hpp"

namespace vesparil::binding {

// A dict of str keys as distinct names, in the dict's insertion order (so a call gives the same
// bits in every process).
template <class T>
using NamedComponents = std::vector<std::pair<std::string, T>>;

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

// A new dict {name: build(component)} in the components' order. Names may hold any text, NUL
// included.
template <class T, class Build>
Ref to_python_dict(const std::vector<std::pair<std::string, T>>& components, Build&& build) {
    Ref dict = Ref::steal(PyDict_New());
    if (!dict) return {};
    for (const auto& [name, component] : components) {
        Ref value = build(component);
        if (!value) return {};
        Ref key = to_python(name);
        if (!key || PyDict_SetItem(dict.get(), key.get(), value.get()) < 0) return {};
    }
    return dict;
}

}  // namespace vesparil::binding
