// Pieces shared by the event methods' classes of the basin (basin/subbasin_method_classes.cpp,
// basin/routing_method_classes.cpp): getters of values read through a function, None for an
// absent optional, and the slot table of a method class.
#pragma once

#include <Python.h>

#include <optional>

#include "binding/attributes.hpp"
#include "binding/record_class.hpp"

namespace vesparil::basin_classes {

// A getter of the value `Read` takes from the record, built by `Build`.
template <class Record, auto Read, class Build = binding::ToPython>
PyObject* get_value(PyObject* self, void*) {
    return binding::guarded([&]() -> PyObject* {
        return binding::with_shared<Record>(
                   self, [](const Record& record) { return Build{}(Read(record)); })
            .release();
    });
}

// None for a value left to the method.
struct OptionalToPython {
    template <class T>
    binding::Ref operator()(const std::optional<T>& value) const {
        return value ? binding::to_python(*value) : binding::Ref::borrow(Py_None);
    }
};

template <class Record>
PyType_Slot* slots(const char* doc, newfunc make, PyGetSetDef* getset) {
    static PyType_Slot table[] = {
        {Py_tp_doc, const_cast<char*>(doc)},
        {Py_tp_new, reinterpret_cast<void*>(make)},
        {Py_tp_dealloc, reinterpret_cast<void*>(binding::dealloc_instance<Record>)},
        {Py_tp_getset, getset},
        {0, nullptr},
    };
    return table;
}

inline constexpr PyGetSetDef kGetsetEnd{nullptr, nullptr, nullptr, nullptr, nullptr};

}  // namespace vesparil::basin_classes
