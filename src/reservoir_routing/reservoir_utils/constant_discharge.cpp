#include "reservoir_routing/reservoir_utils/constant_discharge.hpp"

namespace vesparil {

Result<double> get_discharge(const ConstantDischargeInfo& outlet, double elevation,
                             std::optional<std::int64_t> /*duration_secs*/) {
    return constant_release(outlet, elevation);
}

}  // namespace vesparil
