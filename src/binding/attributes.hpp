// Reading and writing a record inside its instance: getters, setters and method bodies.
#pragma once

#include <Python.h>

#include <type_traits>
#include <utility>

#include "binding/convert.hpp"
#include "binding/errors.hpp"
#include "binding/record_class.hpp"
#include "binding/ref.hpp"

namespace vesparil::binding {

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

// A getter (PyGetSetDef::get) that builds a new object from one field on every read, with
// `Build` (by default the field's to_python; NewInstance for a field that is itself a record).
template <class Record, auto Field, class Build = ToPython>
PyObject* get_field(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        return with_shared<Record>(self,
                                   [](const Record& record) { return Build{}(record.*Field); })
            .release();
    });
}

template <class Record, auto Field>
PyObject* get_record_field(PyObject* self, void* closure) {
    return get_field<Record, Field, NewInstance>(self, closure);
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
