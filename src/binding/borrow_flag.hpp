// The per-instance borrow counter: readers take a shared borrow, writers (attribute setters) an
// exclusive one, so that a free-threaded interpreter can never see a record half-written.
#pragma once

#include <Python.h>

#include <atomic>
#include <cstdint>

namespace vesparil::binding {

class BorrowFlag {
public:
    // Shared borrow: fails with RuntimeError "Already mutably borrowed" during a write.
    bool acquire_shared() {
        std::intptr_t current = count_.load(std::memory_order_relaxed);
        do {
            if (current == kExclusive) {
                PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
                return false;
            }
        } while (!count_.compare_exchange_weak(current, current + 1, std::memory_order_acquire,
                                               std::memory_order_relaxed));
        return true;
    }
    void release_shared() { count_.fetch_sub(1, std::memory_order_release); }

    // Exclusive borrow: fails with RuntimeError "Already borrowed" during any other access.
    bool acquire_exclusive() {
        std::intptr_t expected = 0;
        if (!count_.compare_exchange_strong(expected, kExclusive, std::memory_order_acquire,
                                            std::memory_order_relaxed)) {
            PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
            return false;
        }
        return true;
    }
    void release_exclusive() { count_.store(0, std::memory_order_release); }

private:
    static constexpr std::intptr_t kExclusive = -1;
    std::atomic<std::intptr_t> count_{0};
};

}  // namespace vesparil::binding
