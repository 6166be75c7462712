// Long loops (a reservoir run steps through every simulated second) ask every few million steps
// whether the caller wants them to stop, so a run that would take hours can be cancelled.
// The cores know nothing of signals: the binding supplies the question.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vesparil {

struct InterruptCheck {
    bool (*requested)(void* context) = nullptr;
    void* context = nullptr;

    bool stop_requested() const { return requested != nullptr && requested(context); }
};

// Steps between two questions: rare enough to cost nothing, frequent enough to answer Ctrl-C
// within a fraction of a second.
inline constexpr std::uint64_t kInterruptInterval = std::uint64_t{1} << 22;

// Counts a loop's work (values written, multiply-adds) and asks the check once every
// kInterruptInterval units, so the question costs nothing measurable.
class InterruptCounter {
public:
    explicit InterruptCounter(InterruptCheck check) : check_(check) {}

    // True when the caller asked the loop to stop.
    bool stop_requested_after(std::uint64_t work) {
        pending_ += work;
        if (pending_ < kInterruptInterval) return false;
        pending_ = 0;
        return check_.stop_requested();
    }

private:
    InterruptCheck check_;
    std::uint64_t pending_ = 0;
};

// Runs body(i) for every i in [0, n), asking the counter between pieces of kInterruptInterval
// steps (as one question per step would). The loop inside a piece makes no call, so the state
// a step hands to the next stays in registers. False when the caller asked the loop to stop.
template <class Body>
[[gnu::always_inline]] inline bool for_each_step_interruptibly(std::size_t n,
                                                               InterruptCounter& counter,
                                                               Body&& body) {
    for (std::size_t start = 0; start < n;) {
        const std::size_t stop =
            start + std::min(n - start, static_cast<std::size_t>(kInterruptInterval));
        for (std::size_t i = start; i < stop; ++i) body(i);
        if (counter.stop_requested_after(stop - start)) return false;
        start = stop;
    }
    return true;
}

// Appends `count` copies of `value` in pieces, so that filling a very long vector (gigabytes
// written page by page) can be stopped between two pieces. False when it was stopped.
inline bool append_interruptibly(std::vector<double>& out, std::size_t count, double value,
                                 InterruptCounter& counter) {
    for (std::size_t written = 0; written < count;) {
        const std::size_t piece =
            std::min(count - written, static_cast<std::size_t>(kInterruptInterval));
        out.insert(out.end(), piece, value);
        written += piece;
        if (counter.stop_requested_after(piece)) return false;
    }
    return true;
}

}  // namespace vesparil
