#include "binding/instance.hpp"

namespace vesparil::binding {

PyTypeObject* create_class(PyType_Spec& spec) {
    Ref type = Ref::steal(PyType_FromSpec(&spec));
    if (!type) return nullptr;
    PyTypeObject* type_object = reinterpret_cast<PyTypeObject*>(type.get());
    Ref module = Ref::steal(PyUnicode_FromString("builtins"));
    if (!module) return nullptr;
    // Immutable types refuse attribute assignment, so the entry goes straight into the dict.
    if (PyDict_SetItemString(type_object->tp_dict, "__module__", module.get()) < 0) {
        return nullptr;
    }
    PyType_Modified(type_object);
    // The class lives until the process ends: the reference is kept on purpose.
    return reinterpret_cast<PyTypeObject*>(type.release());
}

}  // namespace vesparil::binding
