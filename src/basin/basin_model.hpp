// A basin model as plain data: named elements, each with at most one downstream element.
//
// The elements reach the methods' numeric cores through one small record per method family:
// rainfall loss (deficit and constant), transform (Clark unit hydrograph), baseflow (linear
// reservoir layers), reach routing (Muskingum) and reservoir routing (level pool). Units are those
// of the cores: areas in acres, rainfall in inches per step, flows in cfs, durations in seconds,
// elevations and storages in the curves' units.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "baseflow/linear_reservoir.hpp"
#include "reservoir_routing/reservoir_utils/discharge_source.hpp"
#include "reservoir_routing/reservoir_utils/elevation_storage.hpp"

namespace vesparil {

// Deficit-and-constant loss (rainfall_loss/deficit_and_constant.hpp).
struct DeficitAndConstantLoss {
    double initial_deficit = 0.0;   // inches
    double maximum_deficit = 0.0;   // inches
    double constant_rate = 0.0;     // inches per hour
    double recovery_seconds = 0.0;  // drying time; 0 switches the recovery off
};

// Clark unit hydrograph (rainfall_transform/clark_uh.hpp).
struct ClarkTransform {
    double tc_seconds = 0.0;
    double storage_seconds = 0.0;
};

// Muskingum routing through equal sub-reaches (reach_routing/muskingum.hpp).
struct MuskingumRouting {
    double k_seconds = 0.0;  // the whole reach
    double x = 0.0;
    std::int64_t sub_reaches = 1;
};

// Level pool routing (reservoir_routing/level_pool.hpp).
struct LevelPoolRouting {
    ElevationStorage elevation_storage;
    std::vector<std::pair<std::string, DischargeInfo>> outlets;
    double initial_elevation = 0.0;
};

// Rain falls on the sub-basin; without a loss method all of it is excess.
struct Subbasin {
    double area = 0.0;  // acres
    std::optional<DeficitAndConstantLoss> loss;
    ClarkTransform transform;
    std::vector<std::pair<std::string, LinearReservoir>> baseflow;  // fed by the loss
};

struct Reach {
    MuskingumRouting routing;
};

struct Reservoir {
    LevelPoolRouting routing;
};

// Adds its inflows; the simplest way to join branches or to name an outlet.
struct Junction {};

// An inflow series given with the forcing, on the basin's axis (cfs).
struct Source {};

using ElementMethod = std::variant<Subbasin, Reach, Reservoir, Junction, Source>;

// Word of each alternative of ElementMethod, in its order, for messages and plain data.
inline constexpr const char* kElementKinds[] = {"subbasin", "reach", "reservoir", "junction",
                                                "source"};

struct Element {
    std::string name;
    std::string downstream;  // empty: none
    ElementMethod method;
};

struct BasinModel {
    std::int32_t time_step = 3600;  // whole seconds, at least 1
    std::vector<Element> elements;  // in the order they were added
};

inline const char* kind_word(const Element& element) { return kElementKinds[element.method.index()]; }

}  // namespace vesparil
