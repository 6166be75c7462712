// Elevation-storage rating curve of a reservoir.
//
// Paired tables of water-surface elevation and stored volume, both strictly increasing, read in
// either direction by linear interpolation between the pairs (no extrapolation). Storage must be
// in the level pool's flow unit times seconds (ft3 for cfs), because routing multiplies flows by
// seconds; elevations are in the unit of the outlets' rating curves.
#pragma once

#include <vector>

#include "core/result.hpp"

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

}  // namespace vesparil
