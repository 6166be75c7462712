// Elevation-discharge rating curve of a reservoir outlet.
//
// Paired tables of water-surface elevation (strictly increasing) and discharge (non-decreasing,
// e.g. cfs), at least two pairs. The curve holds the table only; the outlets that own one look it
// up by linear interpolation, releasing 0.0 below the first elevation.
#pragma once

#include <vector>

#include "core/result.hpp"
#include "utils/general.hpp"

namespace vesparil {

struct ElevationDischarge {
    std::vector<double> elevation;
    std::vector<double> discharge;
};

// Checks, in order: equal lengths, at least two pairs, elevations strictly increasing,
// discharges non-decreasing (equal neighbours allowed, NaN refused).
Result<ElevationDischarge> make_elevation_discharge(std::vector<double> elevation,
                                                    std::vector<double> discharge);

// Failures of the outlets' lookups on a rating curve, shared by the outlet kinds that own one.
namespace detail {
Error rating_curve_without_points();
// Why the curve gave no release at `elevation` (the elevation it is read at, past any gate): a
// curve without points, an elevation above its last one (a ValueError naming both), or the
// lookup's own failure. `rating` must be InterpTable(curve.elevation, curve.discharge).
Error rating_lookup_failure(const ElevationDischarge& curve, InterpTable& rating, double elevation);
}  // namespace detail

}  // namespace vesparil
