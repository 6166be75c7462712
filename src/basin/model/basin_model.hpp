// A basin model as plain data: named elements, each with at most one downstream element.
//
// The elements reach the methods' numeric cores through one small record per method: rainfall
// loss (deficit and constant, curve number, Green-Ampt), transform (Clark, SCS or Snyder unit
// hydrograph), baseflow (linear reservoir layers), reach routing (Muskingum, Muskingum-Cunge) and
// reservoir routing (level pool, storage indication), and the continuous models that make a
// sub-basin's whole runoff (GR4J, with a degree-day or CemaNeige snow store or without, and HBV),
// and the potential evapotranspiration methods that make a daily sub-basin's evapotranspiration
// from temperature (Oudin, Hargreaves and Samani, Hamon).
// Units are
// those of the cores: areas in acres, rainfall in inches per step (a continuous model's forcing
// in mm/day and deg C), flows in cfs, durations in seconds, lengths in the cores' units,
// elevations and storages in the curves' units.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "baseflow/linear_reservoir.hpp"
#include "lumped/gr4j.hpp"
#include "lumped/hbv.hpp"
#include "snow/cemaneige.hpp"
#include "snow/degree_day.hpp"
#include "rainfall_loss/curve_number.hpp"
#include "rainfall_loss/green_ampt.hpp"
#include "reach_routing/muskingum_cunge.hpp"
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

// SCS curve-number loss (rainfall_loss/curve_number.hpp).
struct CurveNumberLoss {
    CurveNumberParameters parameters;
};

// Green-Ampt loss (rainfall_loss/green_ampt.hpp); the step is the basin's.
struct GreenAmptLoss {
    GreenAmptParameters parameters;
};

// SCS dimensionless unit hydrograph (rainfall_transform/scs_uh.hpp) on the sub-basin's area.
struct ScsTransform {
    double lag_seconds = 0.0;
    double peak_rate_factor = 484.0;
};

// Snyder's unit hydrograph (rainfall_transform/snyder_uh.hpp) on the sub-basin's area.
struct SnyderTransform {
    double ct = 0.0;
    double cp = 0.0;
    double stream_length = 0.0;    // miles
    double centroid_length = 0.0;  // miles
};

// Muskingum-Cunge routing from the channel's geometry (reach_routing/muskingum_cunge.hpp).
struct MuskingumCungeRouting {
    MuskingumCungeParameters parameters;
};

// Storage-indication routing (reservoir_routing/storage_indication.hpp): the level pool's
// curves, outlets and initial elevation, routed at the basin's step.
struct StorageIndicationRouting {
    LevelPoolRouting pool;
};

// The methods of each family, the first one being the family's original method.
using LossMethod = std::variant<DeficitAndConstantLoss, CurveNumberLoss, GreenAmptLoss>;
using TransformMethod = std::variant<ClarkTransform, ScsTransform, SnyderTransform>;
using ReachMethod = std::variant<MuskingumRouting, MuskingumCungeRouting>;
using ReservoirMethod = std::variant<LevelPoolRouting, StorageIndicationRouting>;

// A degree-day snow store (snow/degree_day.hpp) in front of a model: its outflow is the
// model's precipitation.
struct DegreeDaySnow {
    DegreeDayParameters parameters{};
    double initial_snowpack = 0.0;  // mm
};

// CemaNeige (snow/cemaneige.hpp) over equal-area elevation bands in front of a model: its
// liquid water is the model's precipitation.
struct CemaNeigeSnow {
    CemaNeigeParameters parameters{0.0, 0.0, 0.0, 0.0, -0.65, 0.0004};
    std::vector<double> elevations;  // m, one per band
};

// The snow stores, the first one being the original.
using SnowMethod = std::variant<DegreeDaySnow, CemaNeigeSnow>;

// GR4J (lumped/gr4j.hpp) as a sub-basin's whole runoff, from stores at the given fractions,
// fed through a snow store when it has one.
struct Gr4jRunoff {
    Gr4jParameters parameters{};
    double initial_production = 0.3;
    double initial_routing = 0.5;
    std::optional<SnowMethod> snow;
};

// HBV (lumped/hbv.hpp) as a sub-basin's whole runoff, from no snow and the given stores.
struct HbvRunoff {
    HbvParameters parameters{};
    double initial_soil_moisture = 0.5;
    double initial_upper_zone = 0.0;  // mm
    double initial_lower_zone = 0.0;  // mm
};

// The continuous models that stand for a sub-basin's loss, transform and baseflow together.
using ContinuousMethod = std::variant<Gr4jRunoff, HbvRunoff>;

// A sub-basin's potential evapotranspiration made from its daily temperature
// (evapotranspiration/potential.hpp) at its latitude (degrees, north positive), in place of a
// given series: Oudin and Hamon from the daily mean, Hargreaves and Samani from the extremes.
struct OudinPet {
    double latitude = 0.0;
};
struct HargreavesPet {
    double latitude = 0.0;
};
struct HamonPet {
    double latitude = 0.0;
};
using EvapotranspirationMethod = std::variant<OudinPet, HargreavesPet, HamonPet>;

// Rain falls on the sub-basin; without a loss method all of it is excess. With a continuous
// model, that model alone makes the outflow from its daily forcing (basin/daily/lumped_flow.hpp); the
// loss, transform and baseflow are then unused (none, a default Clark, none). An event
// sub-basin given daily forcing makes its rain through its front (basin/daily/daily_front.hpp), behind
// its snow store when it has one (never with a continuous model, which holds its own). Either of
// them may make its potential evapotranspiration from temperature (basin/daily/pet_method.hpp).
struct Subbasin {
    double area = 0.0;  // acres
    std::optional<LossMethod> loss;
    TransformMethod transform;
    std::vector<std::pair<std::string, LinearReservoir>> baseflow;  // fed by the loss
    std::optional<ContinuousMethod> continuous;
    std::optional<SnowMethod> snow;
    std::optional<EvapotranspirationMethod> evapotranspiration;
};

struct Reach {
    ReachMethod routing;
};

struct Reservoir {
    ReservoirMethod routing;
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
