// The release of a reservoir outlet of any kind at a water-surface elevation and elapsed time.
//
// DischargeInfo holds one of the four outlet kinds; get_discharge dispatches on it. Elevations
// and flows are in the units of the outlet's curve or series (e.g. ft and cfs); the elapsed time
// is in whole seconds since the start of the routing.
#pragma once

#include <cstdint>
#include <optional>
#include <variant>

#include "core/result.hpp"
#include "reservoir_routing/reservoir_utils/constant_discharge.hpp"
#include "reservoir_routing/reservoir_utils/controlled_discharge.hpp"
#include "reservoir_routing/reservoir_utils/specified_discharge.hpp"
#include "reservoir_routing/reservoir_utils/uncontrolled_discharge.hpp"
#include "utils/general.hpp"

namespace vesparil {

// The order of the alternatives is the order in which a Python value is matched against the four
// outlet classes; keep it.
using DischargeInfo = std::variant<UnControlledDischargeInfo, ControlledDischargeInfo,
                                   SpecifiedDischargeInfo, ConstantDischargeInfo>;

Result<double> get_discharge(const DischargeInfo& outlet, double elevation,
                             std::optional<std::int64_t> duration_secs);

// An outlet prepared to be asked once per simulated second: its rating curve (if it has one) is
// checked once here instead of on every lookup. try_release gives exactly get_discharge's value
// where it gives one; elsewhere the caller asks get_discharge on outlet(), which reports a broken
// curve at the first lookup that reaches it, as before. The outlet must outlive this object and
// stay unchanged.
class DischargeSource {
public:
    explicit DischargeSource(const DischargeInfo& outlet);

    // The release of a rating-curve or constant outlet in the common case, without building a
    // result. Absent for a time-series outlet and wherever get_discharge fails; ask
    // get_discharge then.
    std::optional<double> try_release(double elevation) {
        switch (outlet_->index()) {
            case 0:
                return vesparil::try_release(*std::get_if<0>(outlet_), *rating_, elevation);
            case 1:
                return vesparil::try_release(*std::get_if<1>(outlet_), *rating_, elevation);
            case 3:
                return constant_release(*std::get_if<3>(outlet_), elevation);
            default:
                return std::nullopt;
        }
    }

    const DischargeInfo& outlet() const { return *outlet_; }

private:
    const DischargeInfo* outlet_;
    std::optional<InterpTable> rating_;  // present for the two rating-curve kinds
};

}  // namespace vesparil
