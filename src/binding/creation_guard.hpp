// A lock for the one-time creation of process-wide objects (classes, the internal-error class).
#pragma once

#include <Python.h>

#include <mutex>

namespace vesparil::binding {

// Serialises the creation of a process-wide object. From 3.13 on it is the interpreter's own
// mutex, which lets go of the thread state while it waits, so a waiting thread never blocks the
// one that creates.
class CreationGuard {
public:
    void lock() {
#if PY_VERSION_HEX >= 0x030D0000
        PyMutex_Lock(&mutex_);
#else
        mutex_.lock();
#endif
    }
    void unlock() {
#if PY_VERSION_HEX >= 0x030D0000
        PyMutex_Unlock(&mutex_);
#else
        mutex_.unlock();
#endif
    }

private:
#if PY_VERSION_HEX >= 0x030D0000
    PyMutex mutex_{};
#else
    std::mutex mutex_;
#endif
};

}  // namespace vesparil::binding
