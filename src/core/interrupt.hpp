// Long loops (a reservoir run steps through every simulated second) ask every few million steps
// whether the caller wants them to stop, so a run that would take hours can be cancelled.
// The cores know nothing of signals: the binding supplies the question.
#pragma once

#include <cstdint>

namespace vesparil {

struct InterruptCheck {
    bool (*requested)(void* context) = nullptr;
    void* context = nullptr;

    bool stop_requested() const { return requested != nullptr && requested(context); }
};

// Steps between two questions: rare enough to cost nothing, frequent enough to answer Ctrl-C
// within a fraction of a second.
inline constexpr std::uint64_t kInterruptInterval = std::uint64_t{1} << 22;

}  // namespace vesparil
