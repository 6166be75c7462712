// Pieces shared by the basin's method classes (those made from their tables,
// basin/python/method_descriptor.hpp, and the others): getters of values read through a
// function, None for an absent optional, the slot table of a method class, and its one rule.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <utility>

#include "binding/attributes.hpp"
#include "binding/errors.hpp"
#include "binding/record_class.hpp"
#include "core/result.hpp"

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

// The one rule of every method class: an instance is made only once the method's own values
// pass the checks a run makes of them whatever the basin (basin/run/element_check.hpp); what
// depends on the basin (the step, the sub-basin's area) is checked when it runs.
template <class Record>
PyObject* checked_instance(PyTypeObject* type, Record record, Result<void> checked) {
    if (!checked) return binding::raise(checked.error());
    return binding::new_instance(type, std::move(record)).release();
}

// Seconds in the day: the continuous models' one step.
inline constexpr std::int32_t kDaySeconds = 86400;

inline constexpr PyGetSetDef kGetsetEnd{nullptr, nullptr, nullptr, nullptr, nullptr};

}  // namespace vesparil::basin_classes
