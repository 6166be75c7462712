// The release of a reservoir outlet of any kind at a water-surface elevation and elapsed time.
//
// DischargeInfo holds one of the four outlet kinds; get_discharge dispatches on it. Elevations
// and flows are in the units of the outlet's curve or series (e.g. ft and cfs); the elapsed time
// is in whole seconds since the start of the routing.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <variant>

#include "core/nan_minmax.hpp"
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
// checked once here instead of on every lookup, and its optional fields are read once into plain
// numbers. try_release gives exactly get_discharge's value where it gives one; elsewhere the
// caller asks get_discharge on outlet(), which reports a broken curve at the first lookup that
// reaches it, as before. The outlet must outlive this object and stay unchanged.
class DischargeSource {
public:
    explicit DischargeSource(const DischargeInfo& outlet);

    // The release of a rating-curve or constant outlet in the common case, without building a
    // result: true with the release in `release`. False for a time-series outlet and wherever
    // get_discharge fails; ask get_discharge then.
    //
    // An absent gate is an infinite one: `e < -inf` and `e > +inf` are false for every e, NaN
    // included, exactly as an absent gate never closes (and a NaN gate never closes either).
    bool try_release(double elevation, double& release) {
        switch (kind_) {
            case Kind::controlled:
                if (elevation < minimum_ || elevation > maximum_) {
                    release = 0.0;
                    return true;
                }
                if (elevation > top_) return false;
                if (elevation < bottom_) {
                    release = 0.0;
                    return true;
                }
                if (!rating_.within(elevation, release)) [[unlikely]] {
                    return false;
                }
                release = nan_min(release, cap_);
                return true;
            case Kind::uncontrolled: {
                const double shifted = offset_ + elevation;
                if (shifted > top_) return false;
                if (shifted < bottom_) {
                    release = 0.0;
                    return true;
                }
                return rating_.within(shifted, release);
            }
            case Kind::constant:
                release = (elevation < minimum_ || elevation > maximum_) ? 0.0 : discharge_;
                return true;
            case Kind::plain_lookup:
                return false;
        }
        return false;
    }

    const DischargeInfo& outlet() const { return *outlet_; }

    // False when try_release is never true (a time-series outlet, a curve without points).
    bool fast() const { return kind_ != Kind::plain_lookup; }

private:
    enum class Kind { uncontrolled, controlled, constant, plain_lookup };

    const DischargeInfo* outlet_;
    Kind kind_ = Kind::plain_lookup;
    InterpTable rating_{{}, {}};  // the rating curve of the two rating-curve kinds
    double minimum_ = 0.0;        // gates, -inf and +inf when absent
    double maximum_ = 0.0;
    double bottom_ = 0.0;  // first and last elevation of the rating curve
    double top_ = 0.0;
    double cap_ = 0.0;        // maximum release, +inf when absent
    double offset_ = 0.0;     // elevation offset, 0.0 when absent
    double discharge_ = 0.0;  // the constant rate
};

}  // namespace vesparil
