#include "binding/module.hpp"

#include <string_view>

#include "binding/errors.hpp"

namespace vesparil::binding {

namespace {

// The module's `__all__` list (held by the module dict), created on first use.
Borrowed all_list(PyObject* module) {
    PyObject* dict = PyModule_GetDict(module);
    if (dict == nullptr) return {};
    PyObject* all = PyDict_GetItemString(dict, "__all__");
    if (all != nullptr) {
        if (!PyList_Check(all)) {
            PyErr_SetString(PyExc_TypeError, "__all__ of a module must be a list");
            return {};
        }
        return all;
    }
    Ref created = Ref::steal(PyList_New(0));
    if (!created) return {};
    if (PyDict_SetItemString(dict, "__all__", created.get()) < 0) return {};
    return created.borrowed();  // the dict holds it now
}

}  // namespace

bool register_attribute(PyObject* module, const char* name, PyObject* value) {
    const Borrowed all = all_list(module);
    if (!all) return false;
    Ref key = Ref::steal(PyUnicode_FromString(name));
    if (!key) return false;
    if (PyList_Append(all.get(), key.get()) < 0) return false;
    return PyObject_SetAttr(module, key.get(), value) == 0;
}

bool add_function(PyObject* module, PyMethodDef* definition) {
    Ref module_name = Ref::steal(PyModule_GetNameObject(module));
    if (!module_name) return false;
    Ref function = Ref::steal(PyCFunction_NewEx(definition, module, module_name.get()));
    if (!function) return false;
    Ref name = Ref::steal(PyObject_GetAttrString(function.get(), "__name__"));
    if (!name) return false;
    const char* text = PyUnicode_AsUTF8(name.get());
    if (text == nullptr) return false;
    return register_attribute(module, text, function.get());
}

Ref create_submodule(const char* name) { return Ref::steal(PyModule_New(name)); }

bool attach_submodule(PyObject* parent, Ref submodule) {
    Ref name = Ref::steal(PyObject_GetAttrString(submodule.get(), "__name__"));
    if (!name) return false;
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(name.get(), &size);
    if (text == nullptr) return false;
    std::string_view full(text, static_cast<std::size_t>(size));
    const auto dot = full.rfind('.');
    const std::string short_name(dot == std::string_view::npos ? full : full.substr(dot + 1));
    return register_attribute(parent, short_name.c_str(), submodule.get());
}

bool check_module(PyObject* object) {
    if (PyModule_Check(object)) return true;
    raise_cast_error(object, "module");
    return false;
}

}  // namespace vesparil::binding
