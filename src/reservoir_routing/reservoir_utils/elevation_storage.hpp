// Elevation-storage rating curve of a reservoir.
//
// Paired tables of water-surface elevation and stored volume, both strictly increasing, read in
// either direction by linear interpolation between the pairs (no extrapolation). Storage must be
// in the level pool's flow unit times seconds (ft3 for cfs), because routing multiplies flows by
// seconds; elevations are in the unit of the outlets' rating curves.
#pragma once

#include <vector>

#include "utils/general.hpp"
#include "utils/result.hpp"

namespace vesparil {

struct ElevationStorage {
    std::vector<double> elevation;
    std::vector<double> storage;
};

// Checks, in order: equal lengths, elevations strictly increasing, storages strictly increasing.
// Any length is accepted, even 0 or 1 (such a curve fails only when it is looked up).
Result<ElevationStorage> make_elevation_storage(std::vector<double> elevation,
                                                std::vector<double> storage);

// Storage at `elevation`; an elevation outside [first, last] elevation is a ValueError.
Result<double> get_storage(const ElevationStorage& curve, double elevation);

// Elevation at `storage`; a storage outside [first, last] storage is a ValueError.
Result<double> get_elevation(const ElevationStorage& curve, double storage);

namespace detail {
Error elevation_outside_storage_curve(double elevation);
Error storage_outside_storage_curve(double storage);
// What get_elevation returns when the fast path of the table declined the lookup.
Result<double> get_elevation_failed(InterpTable& storage_to_elevation, double storage);
}  // namespace detail

// get_elevation through a storage -> elevation table checked once (build it as
// InterpTable(curve.storage, curve.elevation)); same results and errors.
inline Result<double> get_elevation(InterpTable& storage_to_elevation, double storage) {
    double elevation = 0.0;
    if (storage_to_elevation.try_within(storage, elevation)) [[likely]] {
        return elevation;
    }
    return detail::get_elevation_failed(storage_to_elevation, storage);
}

}  // namespace vesparil
