// Nash-Sutcliffe efficiency, in the operation order of the header's formula.
#include "metrics/nse.hpp"

#include <cstddef>

namespace vesparil {

Result<double> calculate_nse(std::span<const double> sim, std::span<const double> obs) {
    if (obs.empty()) return Error::value("Observed series is empty.");
    if (sim.size() != obs.size()) return Error::value("Series length mismatch.");
    const std::size_t n = obs.size();
    double obs_sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) obs_sum = obs_sum + obs[i];
    const double mean = obs_sum / static_cast<double>(n);
    double errors = 0.0;
    double spread = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double error = sim[i] - obs[i];
        const double deviation = obs[i] - mean;
        errors = errors + error * error;
        spread = spread + deviation * deviation;
    }
    return 1.0 - errors / spread;
}

}  // namespace vesparil
