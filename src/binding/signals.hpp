// The interpreter's pending signals as an interruption check for long core loops.
#pragma once

#include <Python.h>

#include "core/interrupt.hpp"

namespace vesparil::binding {

// Runs the Python signal handlers; true (with their exception, e.g. KeyboardInterrupt, pending)
// when one of them raised.
inline bool python_signal_raised(void*) { return PyErr_CheckSignals() != 0; }

inline InterruptCheck python_signals() { return InterruptCheck{python_signal_raised, nullptr}; }

}  // namespace vesparil::binding
