// Python classes that wrap a plain C++ record.
//
// An instance is a Python object header, an atomic borrow counter and the record. Readers take a
// shared borrow, writers (attribute setters) an exclusive one, so that a free-threaded
// interpreter can never see a record half-written. The class objects themselves are process-wide:
// `class_type<Record>()` creates each one once, on first need, from the PyType_Spec that the
// subsystem's registration file provides.
#pragma once

#include <Python.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <utility>

#include "binding/convert.hpp"
#include "binding/creation_guard.hpp"
#include "binding/errors.hpp"
#include "binding/ref.hpp"

namespace vesparil::binding {

class BorrowFlag {
public:
    // Shared borrow: fails with RuntimeError "Already mutably borrowed" during a write.
    bool acquire_shared() {
        std::intptr_t current = count_.load(std::memory_order_relaxed);
        do {
            if (current == kExclusive) {
                PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
                return false;
            }
        } while (!count_.compare_exchange_weak(current, current + 1, std::memory_order_acquire,
                                               std::memory_order_relaxed));
        return true;
    }
    void release_shared() { count_.fetch_sub(1, std::memory_order_release); }

    // Exclusive borrow: fails with RuntimeError "Already borrowed" during any other access.
    bool acquire_exclusive() {
        std::intptr_t expected = 0;
        if (!count_.compare_exchange_strong(expected, kExclusive, std::memory_order_acquire,
                                            std::memory_order_relaxed)) {
            PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
            return false;
        }
        return true;
    }
    void release_exclusive() { count_.store(0, std::memory_order_release); }

private:
    static constexpr std::intptr_t kExclusive = -1;
    std::atomic<std::intptr_t> count_{0};
};

template <class Record>
struct Instance {
    PyObject_HEAD
    BorrowFlag borrow;
    Record record;
};

template <class Record>
Instance<Record>* as_instance(PyObject* self) {
    return reinterpret_cast<Instance<Record>*>(self);
}

// Each registration file specialises this for its records: the PyType_Spec of the class.
template <class Record>
PyType_Spec& class_spec();

// Creates a heap type once per process, with `__module__` "builtins" and the short name of its PyType_Spec.
PyTypeObject* create_class(PyType_Spec& spec);

template <class Record>
PyTypeObject* class_type() {
    static std::atomic<PyTypeObject*> created{nullptr};
    static CreationGuard guard;
    PyTypeObject* type = created.load(std::memory_order_acquire);
    if (type != nullptr) return type;
    std::lock_guard lock(guard);
    type = created.load(std::memory_order_relaxed);
    if (type == nullptr) {
        type = create_class(class_spec<Record>());
        created.store(type, std::memory_order_release);
    }
    return type;
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

// Runs `read(record)` under a shared borrow; returns what it returns (a Ref or a bool).
template <class Record, class Read>
auto with_shared(PyObject* self, Read&& read) -> decltype(read(std::declval<const Record&>())) {
    Instance<Record>* instance = as_instance<Record>(self);
    if (!instance->borrow.acquire_shared()) return {};
    struct Release {
        BorrowFlag& flag;
        ~Release() { flag.release_shared(); }
    } release{instance->borrow};
    return read(static_cast<const Record&>(instance->record));
}

// Instance argument: type-tested, then copied field by field under a shared borrow.
template <class Record>
bool extract_instance(PyObject* object, Record& out) {
    PyTypeObject* type = class_type<Record>();
    if (type == nullptr) return false;
    if (!PyObject_TypeCheck(object, type)) {
        raise_cast_error(object, type->tp_name);
        return false;
    }
    return with_shared<Record>(object, [&](const Record& record) {
        out = record;
        return true;
    });
}

// A getter (PyGetSetDef::get) that builds a new object from one field on every read.
template <class Record, auto Field>
PyObject* get_field(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        return with_shared<Record>(self, [](const Record& record) {
                   return to_python(record.*Field);
               }).release();
    });
}

// A getter for a field that is itself a module-class record (a series inside a result): every
// read builds a new instance from a copy.
template <class Record, auto Field>
PyObject* get_record_field(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        return with_shared<Record>(self, [](const Record& record) {
                   return new_instance(record.*Field);
               }).release();
    });
}

// A setter converting the assigned value like an argument of the field's kind; deleting raises
// AttributeError "property has no deleter".
template <class Record, auto Field>
int set_field(PyObject* self, PyObject* value, void*) {
    return guarded([&]() -> int {
        if (value == nullptr) {
            PyErr_SetString(PyExc_AttributeError, "property has no deleter");
            return -1;
        }
        std::remove_cvref_t<decltype(std::declval<Record&>().*Field)> converted{};
        if (!Extract<decltype(converted)>::from(value, converted)) return -1;
        Instance<Record>* instance = as_instance<Record>(self);
        if (!instance->borrow.acquire_exclusive()) return -1;
        instance->record.*Field = std::move(converted);
        instance->borrow.release_exclusive();
        return 0;
    });
}

}  // namespace vesparil::binding
