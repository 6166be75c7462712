// Prescribed-release reservoir outlet: the release follows a discharge time series.
//
// At elapsed time t seconds (whole seconds since the start of the routing) the release is the
// series read at t by linear interpolation in time, zero outside the optional elevation gates and
// capped at maximum_release:
//
//   Q(E, t) = 0                              if E < minimum_elevation or E > maximum_elevation
//   Q(E, t) = min(series(t), maximum_release)  otherwise
//
// The gates are tested before the series length, so a gated-off outlet may be asked past the end
// of its series. The minimum treats NaN as absent (the other operand is returned).
#pragma once

#include <cstdint>
#include <optional>

#include "core/result.hpp"
#include "utils/time_series.hpp"

namespace vesparil {

struct SpecifiedDischargeInfo {
    ContinuousTimeSeries discharge;
    std::optional<double> minimum_elevation;
    std::optional<double> maximum_elevation;
    std::optional<double> maximum_release;
};

// Fails with a RuntimeError when `duration_secs` is absent, and with a ValueError when it lies
// beyond the series' last sample (and the gates are open).
Result<double> get_discharge(const SpecifiedDischargeInfo& outlet, double elevation,
                             std::optional<std::int64_t> duration_secs);

}  // namespace vesparil
