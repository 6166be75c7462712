// Arguments that are instances of a module class: type-tested, then copied into their record.
#pragma once

#include <Python.h>

#include "binding/attributes.hpp"
#include "binding/convert.hpp"
#include "binding/errors.hpp"
#include "binding/record_class.hpp"

namespace vesparil::binding {

// Specialised to true, in the subsystem's classes header, for every record whose class may be
// passed as an argument.
template <class Record>
inline constexpr bool is_argument_class = false;

// True when `object` is an instance of the record's class (or of a subclass); false without an
// exception when it is not, false with one when the class could not be created.
template <class Record>
bool is_instance(PyObject* object) {
    PyTypeObject* type = class_type<Record>();
    return type != nullptr && PyObject_TypeCheck(object, type);
}

// Copies the record of an instance field by field under a shared borrow.
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

template <class Record>
    requires is_argument_class<Record>
struct Extract<Record> {
    static bool from(PyObject* object, Record& out) { return extract_instance(object, out); }
};

}  // namespace vesparil::binding
