// The interpreter's pending signals as an interruption check for long core loops.
//
// A core may run with the interpreter lock held or, inside a WithoutLock (binding/unlocked.hpp),
// without it. Either way the check runs the Python signal handlers with the lock held: without
// the lock it takes the lock back for the check only and lets go of it again. Handlers run only on
// the main thread (the interpreter's rule); on any other thread the check answers "go on", and
// Ctrl-C interrupts the main thread as usual.
#pragma once

#include <Python.h>

#include "core/interrupt.hpp"

namespace vesparil::binding {

// The thread state that the innermost WithoutLock on this thread let go of; null while this
// thread holds the interpreter lock.
inline thread_local PyThreadState* released_thread_state = nullptr;

// Runs the Python signal handlers; true (with their exception, e.g. KeyboardInterrupt, pending)
// when one of them raised.
inline bool python_signal_raised(void*) {
    PyThreadState* released = released_thread_state;
    if (released == nullptr) return PyErr_CheckSignals() != 0;
    PyEval_RestoreThread(released);
    // Held again while the handlers run: a handler that calls into the module sees the lock held.
    released_thread_state = nullptr;
    const bool raised = PyErr_CheckSignals() != 0;
    // The exception, if any, stays with the thread state until the lock is taken back for good.
    released_thread_state = PyEval_SaveThread();
    return raised;
}

inline InterruptCheck python_signals() { return InterruptCheck{python_signal_raised, nullptr}; }

}  // namespace vesparil::binding
