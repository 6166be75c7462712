// Running a numeric core without the interpreter lock.
//
// Arguments are converted and results built with the lock held; the core in between reads only
// plain values (copies, or a NumPy buffer whose export keeps it alive and unresizable), so other
// Python threads may run meanwhile. Letting go of the lock and taking it back costs well under a
// microsecond when no other thread wants it, but taking it back may wait for the thread that has
// it, up to the interpreter's switch interval: tiny calls keep the lock. On a free-threaded
// interpreter this only detaches the thread state, which changes nothing a caller can see.
#pragma once

#include <Python.h>

#include <cstdint>
#include <utility>

#include "binding/signals.hpp"

namespace vesparil::binding {

// Work (in a core's own units: steps, values times segments, ...) from which a core runs
// without the lock. At a few nanoseconds per unit this is some tens of microseconds, against
// well under a microsecond for letting go of the lock and taking it back.
inline constexpr std::uint64_t kUnlockedWork = std::uint64_t{1} << 14;

// Lets go of the interpreter lock for its lifetime when `release` is true. Inside it, only
// pending-signal checks (binding/signals.hpp) touch the interpreter; no other Python call may be
// made, and no other WithoutLock may be opened.
class WithoutLock {
public:
    explicit WithoutLock(bool release) : active_(release) {
        if (!active_) return;
        released_thread_state = PyEval_SaveThread();
    }
    ~WithoutLock() {
        if (!active_) return;
        PyThreadState* state = released_thread_state;
        released_thread_state = nullptr;
        PyEval_RestoreThread(state);
    }
    WithoutLock(const WithoutLock&) = delete;
    WithoutLock& operator=(const WithoutLock&) = delete;

private:
    bool active_;
};

// A core's work as a product of counts, saturating instead of wrapping.
inline std::uint64_t work_units(std::uint64_t a, std::uint64_t b) {
    if (a != 0 && b > UINT64_MAX / a) return UINT64_MAX;
    return a * b;
}

// core() without the lock when `work` reaches kUnlockedWork, with it otherwise. The lock is
// held again when this returns or throws.
template <class Core>
decltype(auto) run_unlocked(std::uint64_t work, Core&& core) {
    WithoutLock unlocked(work >= kUnlockedWork);
    return std::forward<Core>(core)();
}

}  // namespace vesparil::binding
