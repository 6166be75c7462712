// Objects made once per process and kept until it ends: the module's classes and its
// internal-error class.
#pragma once

#include <Python.h>

#include <atomic>
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

// The object in `slot`, made by `create()` on the first call. A creation that fails (nullptr,
// with the exception set) is tried again by the next call.
template <class T, class Create>
T* create_once(std::atomic<T*>& slot, CreationGuard& guard, Create&& create) {
    T* made = slot.load(std::memory_order_acquire);
    if (made != nullptr) return made;
    std::lock_guard lock(guard);
    made = slot.load(std::memory_order_relaxed);
    if (made == nullptr) {
        made = create();
        slot.store(made, std::memory_order_release);
    }
    return made;
}

}  // namespace vesparil::binding
