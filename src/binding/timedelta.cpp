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

bool to_duration(const Timedelta& value, Duration& out) {
    const int days = PyDateTime_DELTA_GET_DAYS(value.object);
    const int seconds = PyDateTime_DELTA_GET_SECONDS(value.object);
    const int microseconds = PyDateTime_DELTA_GET_MICROSECONDS(value.object);
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
