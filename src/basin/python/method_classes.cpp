// The LevelPool class of the basin submodule: the parameters of level pool routing for one
// reservoir (the event methods' classes are made from their tables,
// basin/python/method_descriptor.hpp).
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
PyType_Spec& vesparil::binding::class_spec<vesparil::LevelPoolRouting>() {
    return level_pool_spec;
}
