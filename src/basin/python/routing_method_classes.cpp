// The basin's StorageIndication class: the parameters of storage-indication routing for one
// reservoir, named as the standalone function's.
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
PyType_Spec& vesparil::binding::class_spec<vesparil::StorageIndicationRouting>() {
    return storage_indication_spec;
}
