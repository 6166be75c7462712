#include "binding/timedelta.hpp"

#include <cmath>

#include <datetime.h>

#include "binding/errors.hpp"

namespace vesparil::binding {

bool import_datetime() {
    if (PyDateTimeAPI != nullptr) return true;
    PyDateTime_IMPORT;
    return PyDateTimeAPI != nullptr;
}

bool extract(PyObject* object, Timedelta& out) {
    if (!import_datetime()) return false;
    if (!PyDelta_Check(object)) {
        raise_cast_error(object, "timedelta");
        return false;
    }
    out.object = object;
    return true;
}

namespace {

// One integer field of a timedelta subclass, read through its own attribute.
bool subclass_field(PyObject* object, const char* name, long long& out) {
    Ref field = Ref::steal(PyObject_GetAttrString(object, name));
    if (!field) return false;
    if (!PyLong_Check(field.get())) {
        PyErr_Format(PyExc_TypeError, "timedelta.%s must be an int, not %.100s", name,
                     Py_TYPE(field.get())->tp_name);
        return false;
    }
    out = PyLong_AsLongLong(field.get());
    return !(out == -1 && PyErr_Occurred());
}

}  // namespace

bool to_duration(const Timedelta& value, Duration& out) {
    long long days = PyDateTime_DELTA_GET_DAYS(value.object);
    long long seconds = PyDateTime_DELTA_GET_SECONDS(value.object);
    long long microseconds = PyDateTime_DELTA_GET_MICROSECONDS(value.object);
    // A subclass may keep its duration elsewhere and leave the timedelta fields at zero (a
    // pandas 2 Timedelta of a unit other than nanoseconds does): ask the object itself.
    if (!PyDelta_CheckExact(value.object)) {
        if (!subclass_field(value.object, "days", days) ||
            !subclass_field(value.object, "seconds", seconds) ||
            !subclass_field(value.object, "microseconds", microseconds))
            return false;
        if (seconds < 0 || seconds >= 86400 || microseconds < 0 || microseconds >= 1000000 ||
            days > 999999999) {
            PyErr_Format(PyExc_ValueError,
                         "%.100s has fields out of range: days=%lld, seconds=%lld, "
                         "microseconds=%lld",
                         Py_TYPE(value.object)->tp_name, days, seconds, microseconds);
            return false;
        }
    }
    if (days < 0) {
        PyErr_SetString(PyExc_ValueError, "a negative timedelta cannot be converted to a duration");
        return false;
    }
    out.seconds = static_cast<std::uint64_t>(days) * 86400u + static_cast<std::uint64_t>(seconds);
    out.nanoseconds = static_cast<std::uint32_t>(microseconds) * 1000u;
    return true;
}

Ref timedelta_from_seconds(std::int64_t seconds) {
    if (!import_datetime()) return {};
    const auto days = static_cast<int>(seconds / 86400);
    const auto rest = static_cast<int>(seconds % 86400);
    return Ref::steal(PyDelta_FromDSU(days, rest, 0));
}

Ref timedelta_from_duration(double seconds) {
    if (!import_datetime()) return {};
    // Durations were read from a timedelta, so they hold whole microseconds up to rounding.
    const double whole = std::floor(seconds);
    auto micro = static_cast<std::int64_t>(std::llround((seconds - whole) * 1e6));
    auto total = static_cast<std::int64_t>(whole);
    if (micro == 1000000) {
        micro = 0;
        ++total;
    }
    const auto days = static_cast<int>(total / 86400);
    const auto rest = static_cast<int>(total % 86400);
    return Ref::steal(PyDelta_FromDSU(days, rest, static_cast<int>(micro)));
}

}  // namespace vesparil::binding
