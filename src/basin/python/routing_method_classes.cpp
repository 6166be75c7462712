// The basin's reach and reservoir classes of the event methods: MuskingumCunge and
// StorageIndication, each holding one method's parameters for one element, named as the
// standalone function's.
#include "basin/python/basin_classes.hpp"
#include "basin/run/element_check.hpp"
#include "basin/python/method_class_parts.hpp"
#include "binding/containers.hpp"
#include "binding/parse.hpp"
#include "reservoir_routing/reservoir_utils/reservoir_utils_classes.hpp"

namespace vesparil {

namespace {

using namespace binding;
using namespace basin_classes;

// MuskingumCunge

constexpr Parameters<8> kMuskingumCungeParameters{
    "MuskingumCunge.__new__()",
    {"length", "slope", "manning_n", "bottom_width", "side_slope", "reference_flow",
     "sub_reaches", "sub_steps"},
    4};

PyObject* py_muskingum_cunge_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        MuskingumCungeRouting routing;
        MuskingumCungeParameters& p = routing.parameters;
        if (!parse_new(kMuskingumCungeParameters, args, kwargs, p.channel.length,
                       p.channel.slope, p.channel.manning_n, p.channel.bottom_width,
                       p.channel.side_slope, p.reference_flow, p.sub_reaches, p.sub_steps)) {
            return nullptr;
        }
        return checked_instance(type, routing, check_reach_values(ReachMethod{routing}));
    });
}

double mc_length(const MuskingumCungeRouting& r) { return r.parameters.channel.length; }
double mc_slope(const MuskingumCungeRouting& r) { return r.parameters.channel.slope; }
double mc_n(const MuskingumCungeRouting& r) { return r.parameters.channel.manning_n; }
double mc_width(const MuskingumCungeRouting& r) { return r.parameters.channel.bottom_width; }
double mc_side(const MuskingumCungeRouting& r) { return r.parameters.channel.side_slope; }
std::optional<double> mc_reference(const MuskingumCungeRouting& r) {
    return r.parameters.reference_flow;
}
std::optional<std::int64_t> mc_reaches(const MuskingumCungeRouting& r) {
    return r.parameters.sub_reaches;
}
std::optional<std::int64_t> mc_steps(const MuskingumCungeRouting& r) {
    return r.parameters.sub_steps;
}

using Cunge = MuskingumCungeRouting;
PyGetSetDef muskingum_cunge_getset[] = {
    {"length", get_value<Cunge, mc_length>, nullptr, "Reach length (ft).", nullptr},
    {"slope", get_value<Cunge, mc_slope>, nullptr, "Bed slope (ft/ft).", nullptr},
    {"manning_n", get_value<Cunge, mc_n>, nullptr, "Manning's n.", nullptr},
    {"bottom_width", get_value<Cunge, mc_width>, nullptr, "Bottom width (ft).", nullptr},
    {"side_slope", get_value<Cunge, mc_side>, nullptr,
     "Side slope, horizontal per vertical (0: rectangular).", nullptr},
    {"reference_flow", get_value<Cunge, mc_reference, OptionalToPython>, nullptr,
     "Flow of constant parameters, or None for variable ones (cfs).", nullptr},
    {"sub_reaches", get_value<Cunge, mc_reaches, OptionalToPython>, nullptr,
     "Sub-reaches, or None for the method's choice.", nullptr},
    {"sub_steps", get_value<Cunge, mc_steps, OptionalToPython>, nullptr,
     "Sub-steps per step, or None for the method's choice.", nullptr},
    kGetsetEnd,
};

PyType_Spec muskingum_cunge_spec = make_spec<MuskingumCungeRouting>(
    "MuskingumCunge",
    slots<MuskingumCungeRouting>(
        "MuskingumCunge(length, slope, manning_n, bottom_width, side_slope=0.0, "
        "reference_flow=None, sub_reaches=None, sub_steps=None)\n--\n\n"
        "Muskingum-Cunge routing of a reach from its channel (see "
        "run_muskingum_cunge_routing).",
        py_muskingum_cunge_new, muskingum_cunge_getset),
    kSealedClassFlags);

// StorageIndication

constexpr Parameters<3> kStorageIndicationParameters{
    "StorageIndication.__new__()", {"elevation_storage", "outlets", "initial_elevation"}, 3};

PyObject* py_storage_indication_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        StorageIndicationRouting routing;
        LevelPoolRouting& pool = routing.pool;
        if (!parse_new(kStorageIndicationParameters, args, kwargs, pool.elevation_storage,
                       pool.outlets, pool.initial_elevation)) {
            return nullptr;
        }
        auto checked = check_reservoir_values(ReservoirMethod{routing});
        return checked_instance(type, std::move(routing), std::move(checked));
    });
}

PyObject* py_storage_indication_get_outlets(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        return with_shared<StorageIndicationRouting>(
                   self,
                   [](const StorageIndicationRouting& routing) {
                       return to_python_dict(routing.pool.outlets, [](const DischargeInfo& o) {
                           return std::visit([](const auto& info) { return new_instance(info); },
                                             o);
                       });
                   })
            .release();
    });
}

const ElevationStorage& si_curve(const StorageIndicationRouting& r) {
    return r.pool.elevation_storage;
}
double si_initial(const StorageIndicationRouting& r) { return r.pool.initial_elevation; }

PyGetSetDef storage_indication_getset[] = {
    {"elevation_storage", get_value<StorageIndicationRouting, si_curve, NewInstance>, nullptr,
     "Elevation-storage curve of the pool.", nullptr},
    {"outlets", py_storage_indication_get_outlets, nullptr, "Outlets by name, in order.",
     nullptr},
    {"initial_elevation", get_value<StorageIndicationRouting, si_initial>, nullptr,
     "Water surface elevation at the start.", nullptr},
    kGetsetEnd,
};

PyType_Spec storage_indication_spec = make_spec<StorageIndicationRouting>(
    "StorageIndication",
    slots<StorageIndicationRouting>(
        "StorageIndication(elevation_storage, outlets, initial_elevation)\n--\n\n"
        "Storage-indication routing of a reservoir at the basin's step (see\n"
        "run_storage_indication_routing); `outlets` is a dict of outlet objects, asked in\n"
        "its order.",
        py_storage_indication_new, storage_indication_getset),
    kSealedClassFlags);

}  // namespace

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::MuskingumCungeRouting>() {
    return muskingum_cunge_spec;
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::StorageIndicationRouting>() {
    return storage_indication_spec;
}
