// Long loops (a reservoir run steps through every simulated second) ask every few million steps
// whether the caller wants them to stop, so a run that would take hours can be cancelled.
// The cores know nothing of signals: the binding supplies the question.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
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

// Steps in one piece when each costs `step_work` units: kInterruptInterval units' worth, and at
// least one step, however long a step is.
inline std::size_t steps_per_piece(std::uint64_t step_work) {
    return static_cast<std::size_t>(std::max<std::uint64_t>(
        1, kInterruptInterval / std::max<std::uint64_t>(1, step_work)));
}

// Runs body(i) for every i in [0, n), each step costing `step_work` units (a model day with its
// unit hydrograph's ordinates, ...), asking the counter between pieces of kInterruptInterval
// units (as one question per step would). The loop inside a piece makes no call, so the state a
// step hands to the next stays in registers. False when the caller asked the loop to stop.
template <class Body>
[[gnu::always_inline]] inline bool for_each_step_interruptibly(std::size_t n,
                                                               std::uint64_t step_work,
                                                               InterruptCounter& counter,
                                                               Body&& body) {
    const std::size_t piece = steps_per_piece(step_work);
    for (std::size_t start = 0; start < n;) {
        const std::size_t stop = start + std::min(n - start, piece);
        for (std::size_t i = start; i < stop; ++i) body(i);
        if (counter.stop_requested_after((stop - start) * step_work)) return false;
        start = stop;
    }
    return true;
}

// The same for steps of one unit each.
template <class Body>
[[gnu::always_inline]] inline bool for_each_step_interruptibly(std::size_t n,
                                                               InterruptCounter& counter,
                                                               Body&& body) {
    return for_each_step_interruptibly(n, 1, counter, std::forward<Body>(body));
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
