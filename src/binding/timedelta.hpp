// `datetime.timedelta` arguments and results.
#pragma once

#include <Python.h>

#include <cstdint>

#include "binding/ref.hpp"

namespace vesparil::binding {

// A timedelta argument, only type-tested while binding (borrowed: it lives as long as the call).
struct Timedelta {
    PyObject* object = nullptr;
};

// A non-negative duration converted from a timedelta.
struct Duration {
    std::uint64_t seconds = 0;
    std::uint32_t nanoseconds = 0;  // below 1e9
    double as_seconds() const {
        return static_cast<double>(seconds) + static_cast<double>(nanoseconds) / 1e9;
    }
};

bool extract(PyObject* object, Timedelta& out);

// A timedelta as a non-negative duration; a negative one raises ValueError (never wrapped with
// the argument name).
bool to_duration(const Timedelta& value, Duration& out);

// Makes the datetime C API available; called once when the module is executed.
bool import_datetime();

// A timedelta of whole seconds, normalised into days and seconds.
Ref timedelta_from_seconds(std::int64_t seconds);

// A timedelta of a non-negative duration in seconds, to the nearest microsecond.
Ref timedelta_from_duration(double seconds);

// timedelta_from_seconds as a function object, for getters of whole-second fields.
struct ToTimedelta {
    Ref operator()(std::int64_t seconds) const { return timedelta_from_seconds(seconds); }
};

// timedelta_from_duration as a function object, for getters of durations in seconds.
struct DurationToTimedelta {
    Ref operator()(double seconds) const { return timedelta_from_duration(seconds); }
};

}  // namespace vesparil::binding
