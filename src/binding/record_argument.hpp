// Arguments that are instances of a module class: type-tested, then copied into their record.
#pragma once

#include <Python.h>

#include "binding/attributes.hpp"
#include "binding/convert.hpp"
#include "binding/errors.hpp"
#include "binding/record_class.hpp"
#include "binding/ref.hpp"
#include "core/large_vector.hpp"

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

// True when `object` is an instance of the record's class; false with the argument's cast error
// when it is not, or with the error of the class's creation.
template <class Record>
bool check_instance(PyObject* object) {
    PyTypeObject* type = class_type<Record>();
    if (type == nullptr) return false;
    if (!PyObject_TypeCheck(object, type)) {
        raise_cast_error(object, type->tp_name);
        return false;
    }
    return true;
}

// Copies the record of an instance field by field under a shared borrow.
template <class Record>
bool extract_instance(PyObject* object, Record& out) {
    if (!check_instance<Record>(object)) return false;
    return with_shared<Record>(object, [&](const Record& record) {
        // A series' values go into capacity reserved with the large-block hint; the
        // assignment below copies into it rather than allocating again.
        if constexpr (requires { reserve_large(out.data, record.data.size()); }) {
            reserve_large(out.data, record.data.size());
        }
        out = record;
        return true;
    });
}

template <class Record>
    requires is_argument_class<Record>
struct Extract<Record> {
    static bool from(PyObject* object, Record& out) { return extract_instance(object, out); }
};

// An argument read in place rather than copied: the instance's own record, under a shared borrow
// held (with a reference) until this is destroyed, which must happen with the interpreter lock
// held. Meant for records that nothing writes once made, such as the series: a core may then read
// a large input without the lock and without copying it first.
template <class Record>
class SharedRecord {
public:
    SharedRecord() = default;
    SharedRecord(const SharedRecord&) = delete;
    SharedRecord& operator=(const SharedRecord&) = delete;
    ~SharedRecord() {
        if (instance_ != nullptr) instance_->borrow.release_shared();
    }

    const Record& operator*() const { return instance_->record; }
    const Record* operator->() const { return &instance_->record; }

private:
    friend struct Extract<SharedRecord<Record>>;
    Ref object_;
    Instance<Record>* instance_ = nullptr;
};

template <class Record>
    requires is_argument_class<Record>
struct Extract<SharedRecord<Record>> {
    // The same type test and error as a copied argument.
    static bool from(PyObject* object, SharedRecord<Record>& out) {
        if (!check_instance<Record>(object)) return false;
        Instance<Record>* instance = as_instance<Record>(object);
        if (!instance->borrow.acquire_shared()) return false;
        out.object_ = Ref::borrow(object);
        out.instance_ = instance;
        return true;
    }
};

}  // namespace vesparil::binding
