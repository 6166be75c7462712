// Convolution in pieces of at most kInterruptInterval ordinates, so a long unit hydrograph can
// be stopped between two of them; the elements are independent, so the pieces change no result.
#include "rainfall_transform/convolution.hpp"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace vesparil {

namespace {

constexpr std::size_t kMaxDoubles =
    static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(double);

// q[j] = u[j] * p + q[j]; pairs let the compiler use vector registers (no contraction).
void add_scaled(double* __restrict__ q, const double* __restrict__ u, std::size_t n, double p) {
    std::size_t j = 0;
    for (; j + 2 <= n; j += 2) {
        q[j] = u[j] * p + q[j];
        q[j + 1] = u[j + 1] * p + q[j + 1];
    }
    if (j < n) q[j] = u[j] * p + q[j];
}

}  // namespace

Result<std::vector<double>> convolve_excess(const std::vector<double>& rainfall,
                                            const std::vector<double>& ordinates,
                                            InterruptCheck interrupt) {
    const std::size_t z = rainfall.size();
    const std::size_t n = ordinates.size();
    if (n == 0) return std::vector<double>(z, 0.0);
    if (n > kMaxDoubles || z + (n - 1) > kMaxDoubles) return Error::internal("capacity overflow");
    InterruptCounter counter(interrupt);
    std::vector<double> discharge;
    discharge.reserve(z + n - 1);
    if (!append_interruptibly(discharge, z + n - 1, 0.0, counter)) return Error::interrupted();
    for (std::size_t i = 0; i < z; ++i) {
        const double p = rainfall[i];
        if (p == 0.0) continue;
        for (std::size_t j = 0; j < n; j += kInterruptInterval) {
            const std::size_t piece = std::min<std::size_t>(n - j, kInterruptInterval);
            add_scaled(discharge.data() + i + j, ordinates.data() + j, piece, p);
            if (counter.stop_requested_after(piece)) return Error::interrupted();
        }
    }
    return discharge;
}

}  // namespace vesparil
