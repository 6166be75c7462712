// The method classes of the basin submodule: DeficitAndConstant, Clark, Muskingum, LevelPool.
// Each holds the parameters of one method for one element; durations are timedelta objects, kept
// in seconds with their microseconds.
#include "basin/python/basin_classes.hpp"
#include "basin/run/element_check.hpp"
#include "basin/python/method_class_parts.hpp"
#include "binding/attributes.hpp"
#include "binding/containers.hpp"
#include "binding/parse.hpp"
#include "binding/timedelta.hpp"
#include "reservoir_routing/reservoir_utils/reservoir_utils_classes.hpp"

namespace vesparil {

namespace {

using namespace binding;

template <class Record, auto Field>
PyObject* get_duration(PyObject* self, void* closure) {
    return get_field<Record, Field, DurationToTimedelta>(self, closure);
}

template <class Record>
PyType_Slot* slots(const char* doc, newfunc make, PyGetSetDef* getset) {
    static PyType_Slot table[] = {
        {Py_tp_doc, const_cast<char*>(doc)},
        {Py_tp_new, reinterpret_cast<void*>(make)},
        {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<Record>)},
        {Py_tp_getset, getset},
        {0, nullptr},
    };
    return table;
}

constexpr Parameters<4> kDeficitAndConstantParameters{
    "DeficitAndConstant.__new__()",
    {"initial_deficit", "maximum_deficit", "constant_rate", "recovery"},
    4};

PyObject* py_deficit_and_constant_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        DeficitAndConstantLoss loss;
        Timedelta recovery;
        if (!parse_new(kDeficitAndConstantParameters, args, kwargs, loss.initial_deficit,
                       loss.maximum_deficit, loss.constant_rate, recovery)) {
            return nullptr;
        }
        Duration drying;
        if (!to_duration(recovery, drying)) return nullptr;
        loss.recovery_seconds = drying.as_seconds();
        return basin_classes::checked_instance(type, loss, check_loss(LossMethod{loss}));
    });
}

PyGetSetDef deficit_and_constant_getset[] = {
    {"initial_deficit", get_field<DeficitAndConstantLoss, &DeficitAndConstantLoss::initial_deficit>,
     nullptr, "Soil-moisture deficit at the start (inches).", nullptr},
    {"maximum_deficit", get_field<DeficitAndConstantLoss, &DeficitAndConstantLoss::maximum_deficit>,
     nullptr, "Largest deficit the soil recovers to (inches).", nullptr},
    {"constant_rate", get_field<DeficitAndConstantLoss, &DeficitAndConstantLoss::constant_rate>,
     nullptr, "Constant loss rate (inches per hour).", nullptr},
    {"recovery", get_duration<DeficitAndConstantLoss, &DeficitAndConstantLoss::recovery_seconds>,
     nullptr, "Drying time of the deficit's recovery.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Spec deficit_and_constant_spec = make_spec<DeficitAndConstantLoss>(
    "DeficitAndConstant",
    slots<DeficitAndConstantLoss>(
        "DeficitAndConstant(initial_deficit, maximum_deficit, constant_rate, recovery)\n--\n\n"
        "Deficit-and-constant rainfall loss of a sub-basin (see run_deficit_and_constant).",
        py_deficit_and_constant_new, deficit_and_constant_getset),
    kSealedClassFlags);

constexpr Parameters<2> kClarkParameters{"Clark.__new__()", {"tc", "storage"}, 2};

PyObject* py_clark_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        Timedelta tc;
        Timedelta storage;
        if (!parse_new(kClarkParameters, args, kwargs, tc, storage)) return nullptr;
        Duration concentration;
        Duration attenuation;
        if (!to_duration(tc, concentration) || !to_duration(storage, attenuation)) return nullptr;
        return new_instance(type, ClarkTransform{concentration.as_seconds(),
                                                 attenuation.as_seconds()})
            .release();
    });
}

PyGetSetDef clark_getset[] = {
    {"tc", get_duration<ClarkTransform, &ClarkTransform::tc_seconds>, nullptr,
     "Time of concentration.", nullptr},
    {"storage", get_duration<ClarkTransform, &ClarkTransform::storage_seconds>, nullptr,
     "Storage coefficient of the linear reservoir.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Spec clark_spec = make_spec<ClarkTransform>(
    "Clark",
    slots<ClarkTransform>("Clark(tc, storage)\n--\n\n"
                          "Clark unit hydrograph transform of a sub-basin (see run_clark_uh).",
                          py_clark_new, clark_getset),
    kSealedClassFlags);

constexpr Parameters<3> kMuskingumParameters{"Muskingum.__new__()", {"k", "x", "sub_reaches"}, 2};

PyObject* py_muskingum_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        Timedelta k;
        MuskingumRouting routing;
        if (!parse_new(kMuskingumParameters, args, kwargs, k, routing.x, routing.sub_reaches)) {
            return nullptr;
        }
        Duration storage;
        if (!to_duration(k, storage)) return nullptr;
        routing.k_seconds = storage.as_seconds();
        return basin_classes::checked_instance(type, routing, check_reach_values(ReachMethod{routing}));
    });
}

PyGetSetDef muskingum_getset[] = {
    {"k", get_duration<MuskingumRouting, &MuskingumRouting::k_seconds>, nullptr,
     "Storage constant of the whole reach.", nullptr},
    {"x", get_field<MuskingumRouting, &MuskingumRouting::x>, nullptr, "Weighting factor.",
     nullptr},
    {"sub_reaches", get_field<MuskingumRouting, &MuskingumRouting::sub_reaches>, nullptr,
     "Equal segments routed one after another.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Spec muskingum_spec = make_spec<MuskingumRouting>(
    "Muskingum",
    slots<MuskingumRouting>("Muskingum(k, x, sub_reaches=1)\n--\n\n"
                            "Muskingum routing of a reach (see run_muskingum_routing).",
                            py_muskingum_new, muskingum_getset),
    kSealedClassFlags);

constexpr Parameters<3> kLevelPoolParameters{
    "LevelPool.__new__()", {"elevation_storage", "outlets", "initial_elevation"}, 3};

PyObject* py_level_pool_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        LevelPoolRouting routing;
        if (!parse_new(kLevelPoolParameters, args, kwargs, routing.elevation_storage,
                       routing.outlets, routing.initial_elevation)) {
            return nullptr;
        }
        auto checked = check_reservoir_values(ReservoirMethod{routing});
        return basin_classes::checked_instance(type, std::move(routing), std::move(checked));
    });
}

PyObject* py_level_pool_get_outlets(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        return with_shared<LevelPoolRouting>(self, [](const LevelPoolRouting& routing) {
                   return to_python_dict(routing.outlets, [](const DischargeInfo& outlet) {
                       return std::visit([](const auto& info) { return new_instance(info); },
                                         outlet);
                   });
               })
            .release();
    });
}

PyGetSetDef level_pool_getset[] = {
    {"elevation_storage", get_record_field<LevelPoolRouting, &LevelPoolRouting::elevation_storage>,
     nullptr, "Elevation-storage curve of the pool.", nullptr},
    {"outlets", py_level_pool_get_outlets, nullptr, "Outlets by name, in order.", nullptr},
    {"initial_elevation", get_field<LevelPoolRouting, &LevelPoolRouting::initial_elevation>,
     nullptr, "Water surface elevation at the start.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Spec level_pool_spec = make_spec<LevelPoolRouting>(
    "LevelPool",
    slots<LevelPoolRouting>(
        "LevelPool(elevation_storage, outlets, initial_elevation)\n--\n\n"
        "Level pool routing of a reservoir (see run_level_pool_routing); `outlets` is a dict\n"
        "of outlet objects, asked in its order.",
        py_level_pool_new, level_pool_getset),
    kSealedClassFlags);

}  // namespace

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::DeficitAndConstantLoss>() {
    return deficit_and_constant_spec;
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::ClarkTransform>() {
    return clark_spec;
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::MuskingumRouting>() {
    return muskingum_spec;
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::LevelPoolRouting>() {
    return level_pool_spec;
}
