#include "binding/record_class.hpp"

#include <string>

namespace vesparil::binding {

PyTypeObject* create_class(PyType_Spec& spec) {
    // A spec name without a module makes the interpreter warn ("builtin type ... has no
    // __module__") and leaves __module__ unreadable on older versions. Creating the type as
    // "builtins.<name>" sets __module__ to "builtins" without a warning; the type's own name is
    // then pointed back at the short name, so messages that quote it read as before.
    const std::string dotted = std::string("builtins.") + spec.name;
    PyType_Spec dotted_spec = spec;
    dotted_spec.name = dotted.c_str();
    Ref type = Ref::steal(PyType_FromSpec(&dotted_spec));
    if (!type) return nullptr;
    PyTypeObject* type_object = reinterpret_cast<PyTypeObject*>(type.get());
    type_object->tp_name = spec.name;  // static storage, like every spec of ours
    PyType_Modified(type_object);
    // The class lives until the process ends: the reference is kept on purpose.
    return reinterpret_cast<PyTypeObject*>(type.release());
}

bool set_class_location(PyTypeObject* type, const char* module, const char* qualname) {
    Ref module_name = Ref::steal(PyUnicode_FromString(module));
    Ref qualified = Ref::steal(PyUnicode_FromString(qualname));
    if (!module_name || !qualified) return false;
    if (PyDict_SetItemString(type->tp_dict, "__module__", module_name.get()) < 0) return false;
    auto* heap = reinterpret_cast<PyHeapTypeObject*>(type);
    Py_SETREF(heap->ht_qualname, qualified.release());
    PyType_Modified(type);
    return true;
}

}  // namespace vesparil::binding
