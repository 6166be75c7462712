// The four registration operations that build the module tree. Each returns false with the
// interpreter's exception pending when a step fails.
#pragma once

#include <Python.h>

#include "binding/record_class.hpp"
#include "binding/ref.hpp"

namespace vesparil::binding {

// Appends `name` to the module's `__all__` (created empty on first use), then sets the attribute.
bool register_attribute(PyObject* module, const char* name, PyObject* value);

template <class Record>
bool add_class(PyObject* module) {
    PyTypeObject* type = class_type<Record>();
    if (type == nullptr) return false;
    // The short name: heap type names carry no module prefix.
    return register_attribute(module, type->tp_name, reinterpret_cast<PyObject*>(type));
}

// `definition` must have static storage: the function object keeps pointing at it.
bool add_function(PyObject* module, PyMethodDef* definition);

Ref create_submodule(const char* name);

// Registers `submodule` on `parent` under the last component of its __name__; the parent keeps
// the only lasting reference.
bool attach_submodule(PyObject* parent, Ref submodule);

// Execution steps start by checking that they were given a module.
bool check_module(PyObject* object);

}  // namespace vesparil::binding
