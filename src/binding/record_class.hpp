// Python classes that wrap a plain C++ record.
//
// An instance is a Python object header, a borrow counter and the record. Each subsystem writes
// the PyType_Spec of its own records with make_spec and declares the class_spec specialisation
// in the classes header beside its registration file; the class objects are process-wide and
// created once, on first need, by class_type<Record>().
#pragma once

#include <Python.h>

#include <atomic>
#include <new>
#include <utility>

#include "binding/borrow_flag.hpp"
#include "binding/process_wide.hpp"
#include "binding/ref.hpp"

namespace vesparil::binding {

template <class Record>
struct Instance {
    PyObject_HEAD BorrowFlag borrow;
    Record record;
};

template <class Record>
Instance<Record>* as_instance(PyObject* self) {
    return reinterpret_cast<Instance<Record>*>(self);
}

// What a class is, in type flags: a value class may be subclassed from Python; a sealed one may
// not; a result class is made only by the module, never constructed from Python.
inline constexpr unsigned kValueClassFlags =
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_IMMUTABLETYPE;
inline constexpr unsigned kSealedClassFlags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE;
inline constexpr unsigned kResultClassFlags = kValueClassFlags | Py_TPFLAGS_DISALLOW_INSTANTIATION;

// The one way of writing a record's PyType_Spec: `name` is the class's short name and `slots`
// ends with {0, nullptr}. Both must have static storage.
template <class Record>
constexpr PyType_Spec make_spec(const char* name, PyType_Slot* slots, unsigned flags) {
    return PyType_Spec{name, static_cast<int>(sizeof(Instance<Record>)), 0, flags, slots};
}

// The PyType_Spec of a record's class: explicitly specialised by the subsystem that owns the
// record, or, for a family of records whose classes are made alike, given by a partial
// specialisation of ClassSpec (its static `get()`), visible wherever the class is used.
template <class Record>
struct ClassSpec;

template <class Record>
PyType_Spec& class_spec() {
    return ClassSpec<Record>::get();
}

// Creates a heap type, with `__module__` "builtins" and the short name of its PyType_Spec.
PyTypeObject* create_class(PyType_Spec& spec);

// Points a class's __module__ and __qualname__ at where it can be found by import (for example
// "vesparil" and "basin.Basin"), so that pickle can name it; its __name__ stays the short name.
bool set_class_location(PyTypeObject* type, const char* module, const char* qualname);

// The record's class, created once per process (borrowed: it lives until the process ends).
template <class Record>
PyTypeObject* class_type() {
    static std::atomic<PyTypeObject*> created{nullptr};
    static CreationGuard guard;
    return create_once(created, guard, [] { return create_class(class_spec<Record>()); });
}

// tp_dealloc of every record class (and, through subtype_dealloc, of Python subclasses).
template <class Record>
void dealloc_instance(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    Instance<Record>* instance = as_instance<Record>(self);
    instance->record.~Record();
    instance->borrow.~BorrowFlag();
    type->tp_free(self);
    Py_DECREF(type);
}

// A new instance of `type` (the record's class or a Python subclass of it) holding `record`.
template <class Record>
Ref new_instance(PyTypeObject* type, Record record) {
    Ref object = Ref::steal(type->tp_alloc(type, 0));
    if (!object) return object;
    Instance<Record>* instance = as_instance<Record>(object.get());
    new (&instance->borrow) BorrowFlag();
    new (&instance->record) Record(std::move(record));
    return object;
}

template <class Record>
Ref new_instance(Record record) {
    PyTypeObject* type = class_type<Record>();
    if (type == nullptr) return {};
    return new_instance(type, std::move(record));
}

// Builds a new instance from a copy of a record, for getters and result containers.
struct NewInstance {
    template <class Record>
    Ref operator()(const Record& record) const {
        return new_instance(record);
    }
};

}  // namespace vesparil::binding
