// Uncontrolled reservoir outlet (spillway, weir) on an elevation-discharge rating curve.
//
// The reservoir elevation is shifted by the optional offset (a crest on another datum) and the
// curve is read at the shifted elevation A = offset + E, with no gate and no cap:
//
//   error        if A > En (the curve's last elevation)
//   Q = 0        if A < E1 (the curve's first elevation)
//   Q = q(A)     otherwise, by linear interpolation; q(E1) need not be zero
#pragma once

#include <cstdint>
#include <optional>

#include "core/result.hpp"
#include "reservoir_routing/reservoir_utils/elevation_discharge.hpp"
#include "utils/general.hpp"

namespace vesparil {

struct UnControlledDischargeInfo {
    ElevationDischarge elevation_discharge;
    std::optional<double> elevation_offset;  // absent means 0.0
};

// The elevation at which the curve is read.
inline double shifted_elevation(const UnControlledDischargeInfo& outlet, double elevation) {
    const double offset = outlet.elevation_offset.has_value() ? *outlet.elevation_offset : 0.0;
    return offset + elevation;
}

// The elapsed time is not used. A shifted elevation above the top of the curve is a ValueError
// naming the shifted elevation and the top.
Result<double> get_discharge(const UnControlledDischargeInfo& outlet, double elevation,
                             std::optional<std::int64_t> duration_secs);

// The common case of get_discharge, for loops: the rating curve is read through `rating`, which
// must be InterpTable(elevation_discharge.elevation, elevation_discharge.discharge) of this
// outlet. Absent where get_discharge fails; the caller then asks get_discharge for the error.
inline std::optional<double> try_release(const UnControlledDischargeInfo& outlet,
                                         InterpTable& rating, double elevation) {
    const auto& curve = outlet.elevation_discharge.elevation;
    if (curve.empty()) [[unlikely]] {
        return std::nullopt;
    }
    const double shifted = shifted_elevation(outlet, elevation);
    if (shifted > curve.back()) return std::nullopt;
    if (shifted < curve.front()) return 0.0;
    return rating.try_within(shifted);
}

}  // namespace vesparil
