// Running a numeric core without the interpreter lock.
//
// Arguments are converted and results built with the lock held; the core in between reads only
// plain values (copies, or a NumPy buffer whose export keeps it alive and refuses NumPy's checked
// resize; `resize(refcheck=False)` from another thread is NumPy's documented unsafe override and
// frees the buffer under the read, as it would under a memoryview), so other Python threads may
// run meanwhile. On a free-threaded interpreter this only detaches the thread
// state, which changes nothing a caller can see.
//
// Letting go of the lock and taking it back costs well under a microsecond when no other thread
// wants it. When another thread is running Python code, though, taking it back waits until that
// thread yields it, up to the interpreter's switch interval (5 ms by default): measured on a
// 30 us call beside a busy thread, the slowest of 60 calls took 9 ms with the lock let go and
// 0.05 ms with it kept. A call therefore keeps the lock unless its core runs for about a
// millisecond or more, where the wait is of the order of the call itself.
#pragma once

#include <Python.h>

#include <cstdint>
#include <utility>

#include "binding/signals.hpp"

namespace vesparil::binding {

// Work (in a core's own units: steps, values times segments, ...) from which a core runs
// without the lock: at the 2 to 10 ns a unit that the cores take, some 0.5 to 3 ms. A core whose
// unit is much cheaper scales its count down to match.
inline constexpr std::uint64_t kUnlockedWork = std::uint64_t{1} << 18;

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
