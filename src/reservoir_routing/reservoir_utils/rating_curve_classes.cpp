// Python classes of the two rating curves: ElevationStorage and ElevationDischarge.
#include <array>
#include <vector>

#include "binding/attributes.hpp"
#include "binding/entry.hpp"
#include "binding/parse.hpp"
#include "reservoir_routing/reservoir_utils/reservoir_utils_classes.hpp"

namespace vesparil {

namespace {

using namespace binding;

// Calls `lookup(record, value)` on self under a shared borrow after converting one float.
template <class Record, class Lookup>
PyObject* curve_lookup(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                       const Parameters<1>& parameters, Lookup&& lookup) {
    return guarded([&]() -> PyObject* {
        double value = 0.0;
        if (!parse_call(parameters, args, nargs, kwnames, value)) return nullptr;
        return with_shared<Record>(self,
                                   [&](const Record& record) -> Ref {
                                       auto found = lookup(record, value);
                                       if (!found) {
                                           raise(found.error());
                                           return {};
                                       }
                                       return to_python(*found);
                                   })
            .release();
    });
}

constexpr Parameters<2> kElevationStorageParameters{
    "ElevationStorage.__new__()", {"elevation", "storage"}, 2};
constexpr Parameters<1> kElevationStorageGetStorageParameters{
    "ElevationStorage.get_storage()", {"elevation"}, 1};
constexpr Parameters<1> kElevationStorageGetElevationParameters{
    "ElevationStorage.get_elevation()", {"storage"}, 1};

PyObject* py_elevation_storage_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        std::vector<double> elevation;
        std::vector<double> storage;
        if (!parse_new(kElevationStorageParameters, args, kwargs, elevation, storage))
            return nullptr;
        auto curve = make_elevation_storage(std::move(elevation), std::move(storage));
        if (!curve) return raise(curve.error());
        return new_instance(type, std::move(curve).value()).release();
    });
}

PyObject* py_elevation_storage_get_storage(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                           PyObject* kwnames) {
    return curve_lookup<ElevationStorage>(self, args, nargs, kwnames,
                                          kElevationStorageGetStorageParameters,
                                          [](const ElevationStorage& curve, double elevation) {
                                              return get_storage(curve, elevation);
                                          });
}

PyObject* py_elevation_storage_get_elevation(PyObject* self, PyObject* const* args,
                                             Py_ssize_t nargs, PyObject* kwnames) {
    return curve_lookup<ElevationStorage>(self, args, nargs, kwnames,
                                          kElevationStorageGetElevationParameters,
                                          [](const ElevationStorage& curve, double storage) {
                                              return get_elevation(curve, storage);
                                          });
}

PyMethodDef elevation_storage_methods[] = {
    {"get_storage", as_method(py_elevation_storage_get_storage), kFastcallFlags,
     "get_storage($self, elevation)\n--\n\n"
     "Interpolates the storage corresponding to a given elevation.\n\n"
     "# Arguments\n"
     "* `elevation` - Elevation value to look up.\n\n"
     "# Returns\n"
     "The interpolated storage, or a `PyValueError` if `elevation` is outside\n"
     "the range of the stored curve."},
    {"get_elevation", as_method(py_elevation_storage_get_elevation), kFastcallFlags,
     "get_elevation($self, storage)\n--\n\n"
     "Interpolates the elevation corresponding to a given storage value.\n\n"
     "# Arguments\n"
     "* `storage` - Storage value to look up.\n\n"
     "# Returns\n"
     "The interpolated elevation.\n\n"
     "# Errors\n"
     "Returns a `PyValueError` if `storage` is outside the range of the stored curve."},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef elevation_storage_getset[] = {
    {"elevation", get_field<ElevationStorage, &ElevationStorage::elevation>, nullptr, nullptr,
     nullptr},
    {"storage", get_field<ElevationStorage, &ElevationStorage::storage>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kElevationStorageDoc =
    "ElevationStorage(elevation, storage)\n--\n\n"
    "Elevation-storage rating curve for a reservoir.\n\n"
    "Stores paired elevation and storage vectors and provides linear interpolation\n"
    "in both directions. Storage units must be consistent with the inflow units\n"
    "used in level pool routing (e.g., ft\xc2\xb3 when inflow is in cfs).\n\n"
    "# Fields\n"
    "* `elevation` - Sorted unique elevation values in ascending order.\n"
    "* `storage` - Sorted unique storage values in ascending order, each\n"
    "  corresponding to the paired elevation.";

PyType_Slot elevation_storage_slots[] = {
    {Py_tp_doc, const_cast<char*>(kElevationStorageDoc)},
    {Py_tp_new, reinterpret_cast<void*>(py_elevation_storage_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<ElevationStorage>)},
    {Py_tp_getset, elevation_storage_getset},
    {Py_tp_methods, elevation_storage_methods},
    {0, nullptr},
};

constexpr Parameters<2> kElevationDischargeParameters{
    "ElevationDischarge.__new__()", {"elevation", "discharge"}, 2};

PyObject* py_elevation_discharge_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        std::vector<double> elevation;
        std::vector<double> discharge;
        if (!parse_new(kElevationDischargeParameters, args, kwargs, elevation, discharge)) {
            return nullptr;
        }
        auto curve = make_elevation_discharge(std::move(elevation), std::move(discharge));
        if (!curve) return raise(curve.error());
        return new_instance(type, std::move(curve).value()).release();
    });
}

PyGetSetDef elevation_discharge_getset[] = {
    {"elevation", get_field<ElevationDischarge, &ElevationDischarge::elevation>, nullptr, nullptr,
     nullptr},
    {"discharge", get_field<ElevationDischarge, &ElevationDischarge::discharge>, nullptr, nullptr,
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kElevationDischargeDoc =
    "ElevationDischarge(elevation, discharge)\n--\n\n"
    "Elevation-discharge rating curve for a reservoir outlet.\n\n"
    "Stores paired elevation and discharge vectors used by outlet structs to look\n"
    "up the flow rate at a given water surface elevation via linear interpolation.\n\n"
    "# Fields\n"
    "* `elevation` - Sorted unique elevation values in ascending order.\n"
    "* `discharge` - Discharge values in ascending order, each corresponding\n"
    "  to the paired elevation (e.g., cfs).";

PyType_Slot elevation_discharge_slots[] = {
    {Py_tp_doc, const_cast<char*>(kElevationDischargeDoc)},
    {Py_tp_new, reinterpret_cast<void*>(py_elevation_discharge_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<ElevationDischarge>)},
    {Py_tp_getset, elevation_discharge_getset},
    {0, nullptr},
};

PyType_Spec elevation_storage_spec =
    make_spec<ElevationStorage>("ElevationStorage", elevation_storage_slots, kValueClassFlags);
PyType_Spec elevation_discharge_spec = make_spec<ElevationDischarge>(
    "ElevationDischarge", elevation_discharge_slots, kValueClassFlags);

}  // namespace

}  // namespace vesparil

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<ElevationStorage>() {
    return elevation_storage_spec;
}
template <>
PyType_Spec& class_spec<ElevationDischarge>() {
    return elevation_discharge_spec;
}
}  // namespace vesparil::binding
