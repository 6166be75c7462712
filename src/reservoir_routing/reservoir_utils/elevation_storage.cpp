#include "reservoir_routing/reservoir_utils/elevation_storage.hpp"

#include <cstddef>
#include <optional>
#include <utility>

#include "core/format.hpp"
#include "utils/general.hpp"

namespace vesparil {

namespace {

Error elevation_outside_curve(double elevation) {
    return Error::value("`elevation` " + format_double(elevation) +
                        " is outside the range of the elevation-storage curve.");
}

Error storage_outside_curve(double storage) {
    return Error::value("`storage` " + format_double(storage) +
                        " is outside the range of the elevation-storage curve.");
}

}  // namespace

Result<ElevationStorage> make_elevation_storage(std::vector<double> elevation,
                                                std::vector<double> storage) {
    if (elevation.size() != storage.size()) {
        return Error::value("`elevation` and `storage` must have the same length");
    }
    if (!strictly_increasing(elevation)) {
        return Error::value("`elevation` must must be sorted and can't have duplicates");
    }
    if (!strictly_increasing(storage)) {
        return Error::value("`storage` must must be sorted and can't have duplicates");
    }
    return ElevationStorage{std::move(elevation), std::move(storage)};
}

Result<double> get_storage(const ElevationStorage& curve, double elevation) {
    auto found = interp1d(curve.elevation, curve.storage, elevation, std::nullopt, std::nullopt);
    if (!found.ok()) return std::move(found).error();
    if (!found.value().has_value()) return elevation_outside_curve(elevation);
    return *found.value();
}

Result<double> get_elevation(const ElevationStorage& curve, double storage) {
    auto found = interp1d(curve.storage, curve.elevation, storage, std::nullopt, std::nullopt);
    if (!found.ok()) return std::move(found).error();
    if (!found.value().has_value()) return storage_outside_curve(storage);
    return *found.value();
}

}  // namespace vesparil
