// Elevation-discharge rating curve of a reservoir outlet.
//
// Paired tables of water-surface elevation (strictly increasing) and discharge (non-decreasing,
// e.g. cfs), at least two pairs. The curve holds the table only; the outlets that own one look it
// up by linear interpolation, releasing 0.0 below the first elevation.
#pragma once

#include <vector>

#include "core/result.hpp"

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
// ValueError naming the looked-up elevation and the curve's last elevation.
Error above_rating_curve(double elevation, double top);
Error rating_lookup_absent();
}  // namespace detail

}  // namespace vesparil
