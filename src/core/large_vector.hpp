// Capacity for a large vector that is about to be filled in one pass.
//
// Filling fresh memory pays one page fault per page at first touch; over tens of megabytes that
// costs more than the copy itself. Above a few megabytes the new block is marked for huge pages
// where the platform has them (one fault per 2 MiB instead of per 4 KiB), as NumPy does for its
// own arrays, and mapped in one call where the kernel offers that (Linux 5.14 on). The hint changes
// no value, only how the memory is mapped. (The one header of the core that reaches past the
// standard library, to the platform's memory-mapping hint.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace vesparil {

inline constexpr std::size_t kHugePageHintBytes = std::size_t{4} << 20;
// The huge page of x86-64 and of most arm64 kernels; elsewhere only the hint is wasted.
inline constexpr std::uintptr_t kHugePageBytes = std::uintptr_t{2} << 20;

// The huge-page hint on the whole pages of a freshly reserved block of `bytes` at `begin`. Kept
// out of line, and given the block rather than the vector: the vector's own address then never
// leaves its caller, whose fill loop can keep the vector's end in a register.
[[gnu::noinline]] inline void hint_large_block([[maybe_unused]] std::uintptr_t begin,
                                               [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only the whole pages inside the block: the allocator owns the rest of its mapping.
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t first = (begin + page - 1) & ~(page - 1);
    const std::uintptr_t last = (begin + bytes) & ~(page - 1);
    if (last <= first) return;
    // Refused hints are harmless: the pages are then mapped as usual, at first touch.
    void* const start = reinterpret_cast<void*>(first);
    madvise(start, last - first, MADV_HUGEPAGE);
#if defined(MADV_POPULATE_WRITE)
    // The ends of the block that no huge page can cover are mapped in one call each rather
    // than one fault per small page (pages already mapped keep their contents). The huge pages
    // in between are left to fault at first touch, so that each one is zeroed just before it
    // is written, while it is still in the cache.
    const std::uintptr_t huge_first = (first + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    const std::uintptr_t huge_last = last & ~(kHugePageBytes - 1);
    if (huge_first < huge_last) {
        if (huge_first > first) madvise(start, huge_first - first, MADV_POPULATE_WRITE);
        if (last > huge_last) {
            madvise(reinterpret_cast<void*>(huge_last), last - huge_last, MADV_POPULATE_WRITE);
        }
    } else {
        madvise(start, last - first, MADV_POPULATE_WRITE);
    }
#endif
#endif
}

// out.reserve(count), with the huge-page hint on the reserved block when it is large. Inlined
// always, for the same reason.
template <class T>
[[gnu::always_inline]] inline void reserve_large(std::vector<T>& out, std::size_t count) {
    const bool fresh = count > out.capacity();
    out.reserve(count);
    const std::size_t bytes = count * sizeof(T);
    if (fresh && bytes >= kHugePageHintBytes) {
        hint_large_block(reinterpret_cast<std::uintptr_t>(out.data()), bytes);
    }
}

// push_back into a vector whose capacity was reserved up front: the growth path cannot be taken,
// and saying so keeps it (and the register spills of its call) out of the loop.
inline void append_reserved(std::vector<double>& values, double value) {
    if (values.size() == values.capacity()) __builtin_unreachable();
    values.push_back(value);
}

}  // namespace vesparil
