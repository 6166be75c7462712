// Python entries of the basin submodule: Basin, its method classes and its run results.
#include "basin/python/basin_classes.hpp"
#include "binding/attributes.hpp"
#include "binding/module.hpp"
#include "binding/timedelta.hpp"
#include "init.hpp"

namespace vesparil {

namespace {

using namespace binding;

PyObject* py_basin_get_names(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        return with_shared<BasinModel>(self, [](const BasinModel& model) -> Ref {
                   Ref names = Ref::steal(PyList_New(0));
                   if (!names) return {};
                   for (const Element& element : model.elements) {
                       Ref name = to_python(element.name);
                       if (!name || PyList_Append(names.get(), name.get()) < 0) return {};
                   }
                   return names;
               })
            .release();
    });
}

PyGetSetDef basin_getset[] = {
    {"time_step", get_field<BasinModel, &BasinModel::time_step, ToTimedelta>, nullptr,
     "The basin's time step (whole seconds).", nullptr},
    {"names", py_basin_get_names, nullptr, "Element names, in the order they were added.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kBasinDoc =
    "Basin(time_step)\n--\n\n"
    "A network of sub-basins, reaches, reservoirs, junctions and sources, each flowing into\n"
    "at most one downstream element, run on one time axis of `time_step`.\n\n"
    "Outflow value i of every element is the flow at the instant i * time_step; rainfall\n"
    "value i is the depth over the step that starts there (see docs/basin.md).";

PyType_Slot basin_slots[] = {
    {Py_tp_doc, const_cast<char*>(kBasinDoc)},
    {Py_tp_new, reinterpret_cast<void*>(py_basin_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<BasinModel>)},
    {Py_tp_methods, basin_methods},
    {Py_tp_getset, basin_getset},
    {0, nullptr},
};

// Not subclassable: from_dict and with_parameters build the same class.
PyType_Spec basin_spec = make_spec<BasinModel>("Basin", basin_slots, kSealedClassFlags);

}  // namespace

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::BasinModel>() {
    return vesparil::basin_spec;
}

namespace vesparil {

bool init_basin(PyObject* module) {
    // A basin pickles through Basin.from_dict, which pickle finds as vesparil.basin.Basin.
    PyTypeObject* basin = binding::class_type<BasinModel>();
    if (basin == nullptr || !binding::set_class_location(basin, "vesparil", "basin.Basin")) {
        return false;
    }
    return binding::add_class<BasinModel>(module) &&
           binding::add_class<DeficitAndConstantLoss>(module) &&
           binding::add_class<ClarkTransform>(module) &&
           binding::add_class<MuskingumRouting>(module) &&
           binding::add_class<LevelPoolRouting>(module) &&
           binding::add_class<BasinRunResult>(module) && binding::add_class<ElementRun>(module) &&
           binding::add_class<CurveNumberLoss>(module) &&
           binding::add_class<GreenAmptLoss>(module) &&
           binding::add_class<ScsTransform>(module) &&
           binding::add_class<SnyderTransform>(module) &&
           binding::add_class<MuskingumCungeRouting>(module) &&
           binding::add_class<StorageIndicationRouting>(module) &&
           binding::add_class<Gr4jRunoff>(module) && binding::add_class<HbvRunoff>(module) &&
           binding::add_class<DegreeDaySnow>(module) &&
           binding::add_class<CemaNeigeSnow>(module) &&
           binding::add_class<OudinPet>(module) && binding::add_class<HargreavesPet>(module) &&
           binding::add_class<HamonPet>(module);
}

}  // namespace vesparil
