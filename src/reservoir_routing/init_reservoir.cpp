// Python entries of the reservoir submodule: the reservoir_utils submodule (rating curves and
// outlets), run_level_pool_routing and LevelPoolResult.
#include <array>
#include <string>

#include "binding/classes.hpp"
#include "binding/convert.hpp"
#include "binding/entry.hpp"
#include "binding/module.hpp"
#include "binding/parse.hpp"
#include "binding/signals.hpp"
#include "init.hpp"
#include "reservoir_routing/level_pool.hpp"
#include "reservoir_routing/reservoir_utils/constant_discharge.hpp"
#include "reservoir_routing/reservoir_utils/controlled_discharge.hpp"
#include "reservoir_routing/reservoir_utils/discharge_source.hpp"
#include "reservoir_routing/reservoir_utils/elevation_discharge.hpp"
#include "reservoir_routing/reservoir_utils/elevation_storage.hpp"
#include "reservoir_routing/reservoir_utils/specified_discharge.hpp"
#include "reservoir_routing/reservoir_utils/uncontrolled_discharge.hpp"

namespace vesparil::binding {

// A dict value of `discharge_info` becomes the first outlet class it is an instance of, tried in
// the union's variant order.
template <>
struct Extract<DischargeInfo> {
    static bool from(PyObject* object, DischargeInfo& out) {
        if (try_variant<UnControlledDischargeInfo>(object, out) ||
            try_variant<ControlledDischargeInfo>(object, out) ||
            try_variant<SpecifiedDischargeInfo>(object, out) ||
            try_variant<ConstantDischargeInfo>(object, out)) {
            return !PyErr_Occurred();
        }
        if (PyErr_Occurred()) return false;
        std::string message =
            "failed to extract enum DischargeInfo ('Uncontrolled | Controlled | Specified | "
            "Constant')";
        append_variant(message, "Uncontrolled", object, "UnControlledDischargeInfo");
        append_variant(message, "Controlled", object, "ControlledDischargeInfo");
        append_variant(message, "Specified", object, "SpecifiedDischargeInfo");
        append_variant(message, "Constant", object, "ConstantDischargeInfo");
        PyErr_SetString(PyExc_TypeError, message.c_str());
        return false;
    }

private:
    // True when the object is an instance of Outlet (the copy then decides success).
    template <class Outlet>
    static bool try_variant(PyObject* object, DischargeInfo& out) {
        PyTypeObject* type = class_type<Outlet>();
        if (type == nullptr || !PyObject_TypeCheck(object, type)) return type == nullptr;
        Outlet outlet;
        if (!extract_instance(object, outlet)) return true;
        out = std::move(outlet);
        return true;
    }

    // "\n- variant V (V): TypeError: failed to extract field DischargeInfo::V.0, caused by
    // TypeError: '<type>' object is not an instance of '<class>'"
    static void append_variant(std::string& message, const char* variant, PyObject* object,
                               const char* class_name) {
        message.append("\n- variant ").append(variant).append(" (").append(variant).append(
            "): TypeError: failed to extract field DischargeInfo::");
        message.append(variant).append(".0, caused by TypeError: ");
        if (object == Py_None) {
            message.append("'None' is not an instance of '");
        } else {
            message.append("'").append(type_name(object)).append("' object is not an instance of '");
        }
        message.append(class_name).append("'");
    }
};

}  // namespace vesparil::binding

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
        return with_shared<Record>(self, [&](const Record& record) -> Ref {
                   auto found = lookup(record, value);
                   if (!found) {
                       raise(found.error());
                       return {};
                   }
                   return to_python(*found);
               }).release();
    });
}

// ---- ElevationStorage ---------------------------------------------------------------------

constexpr Parameters<2> kStorageParameters{"ElevationStorage.__new__()",
                                           {"elevation", "storage"}, 2};
constexpr Parameters<1> kGetStorageParameters{"ElevationStorage.get_storage()", {"elevation"}, 1};
constexpr Parameters<1> kGetElevationParameters{"ElevationStorage.get_elevation()", {"storage"},
                                                1};

PyObject* new_elevation_storage(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        std::vector<double> elevation;
        std::vector<double> storage;
        if (!parse_new(kStorageParameters, args, kwargs, elevation, storage)) return nullptr;
        auto curve = make_elevation_storage(std::move(elevation), std::move(storage));
        if (!curve) return raise(curve.error());
        return new_instance(type, std::move(curve).value()).release();
    });
}

PyObject* py_get_storage(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
    return curve_lookup<ElevationStorage>(
        self, args, nargs, kwnames, kGetStorageParameters,
        [](const ElevationStorage& curve, double elevation) {
            return get_storage(curve, elevation);
        });
}

PyObject* py_get_elevation(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) {
    return curve_lookup<ElevationStorage>(
        self, args, nargs, kwnames, kGetElevationParameters,
        [](const ElevationStorage& curve, double storage) {
            return get_elevation(curve, storage);
        });
}

PyMethodDef storage_methods[] = {
    {"get_storage", as_method(py_get_storage), kFastcallFlags,
     "get_storage($self, elevation)\n--\n\n"
     "Interpolates the storage corresponding to a given elevation.\n\n"
     "# Arguments\n"
     "* `elevation` - Elevation value to look up.\n\n"
     "# Returns\n"
     "The interpolated storage, or a `PyValueError` if `elevation` is outside\n"
     "the range of the stored curve."},
    {"get_elevation", as_method(py_get_elevation), kFastcallFlags,
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

PyGetSetDef storage_getset[] = {
    {"elevation", get_field<ElevationStorage, &ElevationStorage::elevation>, nullptr, nullptr,
     nullptr},
    {"storage", get_field<ElevationStorage, &ElevationStorage::storage>, nullptr, nullptr,
     nullptr},
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

PyType_Slot storage_slots[] = {
    {Py_tp_doc, const_cast<char*>(kElevationStorageDoc)},
    {Py_tp_new, reinterpret_cast<void*>(new_elevation_storage)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<ElevationStorage>)},
    {Py_tp_getset, storage_getset},
    {Py_tp_methods, storage_methods},
    {0, nullptr},
};

// ---- ElevationDischarge -------------------------------------------------------------------

constexpr Parameters<2> kDischargeCurveParameters{"ElevationDischarge.__new__()",
                                                  {"elevation", "discharge"}, 2};

PyObject* new_elevation_discharge(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        std::vector<double> elevation;
        std::vector<double> discharge;
        if (!parse_new(kDischargeCurveParameters, args, kwargs, elevation, discharge)) {
            return nullptr;
        }
        auto curve = make_elevation_discharge(std::move(elevation), std::move(discharge));
        if (!curve) return raise(curve.error());
        return new_instance(type, std::move(curve).value()).release();
    });
}

PyGetSetDef discharge_curve_getset[] = {
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

PyType_Slot discharge_curve_slots[] = {
    {Py_tp_doc, const_cast<char*>(kElevationDischargeDoc)},
    {Py_tp_new, reinterpret_cast<void*>(new_elevation_discharge)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<ElevationDischarge>)},
    {Py_tp_getset, discharge_curve_getset},
    {0, nullptr},
};

// ---- The four outlets ---------------------------------------------------------------------

constexpr Parameters<3> kConstantParameters{
    "ConstantDischargeInfo.__new__()", {"discharge", "minimum_elevation", "maximum_elevation"}, 1};

PyObject* new_constant(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        ConstantDischargeInfo outlet;
        if (!parse_new(kConstantParameters, args, kwargs, outlet.discharge,
                       outlet.minimum_elevation, outlet.maximum_elevation)) {
            return nullptr;
        }
        return new_instance(type, std::move(outlet)).release();
    });
}

PyGetSetDef constant_getset[] = {
    {"discharge", get_field<ConstantDischargeInfo, &ConstantDischargeInfo::discharge>, nullptr,
     "Constant discharge rate (e.g., cfs).", nullptr},
    {"minimum_elevation",
     get_field<ConstantDischargeInfo, &ConstantDischargeInfo::minimum_elevation>, nullptr,
     "Elevation below which no discharge occurs.", nullptr},
    {"maximum_elevation",
     get_field<ConstantDischargeInfo, &ConstantDischargeInfo::maximum_elevation>, nullptr,
     "Elevation above which no discharge occurs.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kConstantDoc =
    "ConstantDischargeInfo(discharge, minimum_elevation=None, maximum_elevation=None)\n--\n\n"
    "Constant-rate discharge outlet.\n\n"
    "Releases a fixed flow rate at every time step, optionally gated by\n"
    "elevation bounds. When the reservoir elevation is outside the specified\n"
    "range, the outlet releases zero flow.";

PyType_Slot constant_slots[] = {
    {Py_tp_doc, const_cast<char*>(kConstantDoc)},
    {Py_tp_new, reinterpret_cast<void*>(new_constant)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<ConstantDischargeInfo>)},
    {Py_tp_getset, constant_getset},
    {0, nullptr},
};

constexpr Parameters<4> kSpecifiedParameters{
    "SpecifiedDischargeInfo.__new__()",
    {"discharge", "minimum_elevation", "maximum_elevation", "maximum_release"},
    1};

PyObject* new_specified(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        SpecifiedDischargeInfo outlet;
        if (!parse_new(kSpecifiedParameters, args, kwargs, outlet.discharge,
                       outlet.minimum_elevation, outlet.maximum_elevation,
                       outlet.maximum_release)) {
            return nullptr;
        }
        return new_instance(type, std::move(outlet)).release();
    });
}

PyGetSetDef specified_getset[] = {
    {"discharge", get_record_field<SpecifiedDischargeInfo, &SpecifiedDischargeInfo::discharge>,
     nullptr, "Time series of prescribed outflow values (kind=discharge).", nullptr},
    {"minimum_elevation",
     get_field<SpecifiedDischargeInfo, &SpecifiedDischargeInfo::minimum_elevation>, nullptr,
     nullptr, nullptr},
    {"maximum_elevation",
     get_field<SpecifiedDischargeInfo, &SpecifiedDischargeInfo::maximum_elevation>, nullptr,
     nullptr, nullptr},
    {"maximum_release",
     get_field<SpecifiedDischargeInfo, &SpecifiedDischargeInfo::maximum_release>, nullptr,
     nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kSpecifiedDoc =
    "SpecifiedDischargeInfo(discharge, minimum_elevation=None, maximum_elevation=None, "
    "maximum_release=None)\n--\n\n"
    "Time-varying specified discharge outlet.\n\n"
    "Discharge is read directly from a `ContinuousTimeSeries` at each simulation\n"
    "time step, optionally gated by elevation bounds and a maximum release cap.";

PyType_Slot specified_slots[] = {
    {Py_tp_doc, const_cast<char*>(kSpecifiedDoc)},
    {Py_tp_new, reinterpret_cast<void*>(new_specified)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<SpecifiedDischargeInfo>)},
    {Py_tp_getset, specified_getset},
    {0, nullptr},
};

constexpr Parameters<4> kControlledParameters{
    "ControlledDischargeInfo.__new__()",
    {"elevation_discharge", "minimum_elevation", "maximum_elevation", "maximum_release"},
    1};

PyObject* new_controlled(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        ElevationDischarge curve;
        std::optional<double> minimum_elevation;
        std::optional<double> maximum_elevation;
        std::optional<double> maximum_release;
        if (!parse_new(kControlledParameters, args, kwargs, curve, minimum_elevation,
                       maximum_elevation, maximum_release)) {
            return nullptr;
        }
        auto outlet = make_controlled_discharge(std::move(curve), minimum_elevation,
                                                maximum_elevation, maximum_release);
        if (!outlet) return raise(outlet.error());
        return new_instance(type, std::move(outlet).value()).release();
    });
}

PyGetSetDef controlled_getset[] = {
    {"elevation_discharge",
     get_record_field<ControlledDischargeInfo, &ControlledDischargeInfo::elevation_discharge>,
     nullptr, "Rating curve mapping elevation to discharge.", nullptr},
    {"minimum_elevation",
     get_field<ControlledDischargeInfo, &ControlledDischargeInfo::minimum_elevation>, nullptr,
     "Elevation below which no discharge occurs.", nullptr},
    {"maximum_elevation",
     get_field<ControlledDischargeInfo, &ControlledDischargeInfo::maximum_elevation>, nullptr,
     "Elevation above which no discharge occurs.", nullptr},
    {"maximum_release",
     get_field<ControlledDischargeInfo, &ControlledDischargeInfo::maximum_release>, nullptr,
     "Cap on the maximum allowable discharge.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kControlledDoc =
    "ControlledDischargeInfo(elevation_discharge, minimum_elevation=None, "
    "maximum_elevation=None, maximum_release=None)\n--\n\n"
    "Controlled release outlet (e.g., gate, valve, conduit).\n\n"
    "Discharge is determined by an elevation-discharge rating curve and can be\n"
    "bounded by minimum/maximum elevation gates and a maximum release cap.\n"
    "When the reservoir elevation is below `minimum_elevation` or above\n"
    "`maximum_elevation`, the outlet releases zero flow.\n\n"
    "The `minimum_elevation` defaults to the lowest elevation in the rating curve\n"
    "if not provided, ensuring no negative-elevation lookups occur.";

PyType_Slot controlled_slots[] = {
    {Py_tp_doc, const_cast<char*>(kControlledDoc)},
    {Py_tp_new, reinterpret_cast<void*>(new_controlled)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<ControlledDischargeInfo>)},
    {Py_tp_getset, controlled_getset},
    {0, nullptr},
};

constexpr Parameters<2> kUncontrolledParameters{
    "UnControlledDischargeInfo.__new__()", {"elevation_discharge", "elevation_offset"}, 1};

PyObject* new_uncontrolled(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        UnControlledDischargeInfo outlet;
        if (!parse_new(kUncontrolledParameters, args, kwargs, outlet.elevation_discharge,
                       outlet.elevation_offset)) {
            return nullptr;
        }
        return new_instance(type, std::move(outlet)).release();
    });
}

PyGetSetDef uncontrolled_getset[] = {
    {"elevation_discharge",
     get_record_field<UnControlledDischargeInfo, &UnControlledDischargeInfo::elevation_discharge>,
     nullptr, "Rating curve mapping elevation to discharge.", nullptr},
    {"elevation_offset",
     get_field<UnControlledDischargeInfo, &UnControlledDischargeInfo::elevation_offset>, nullptr,
     "Additive offset applied to the reservoir elevation before curve lookup.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kUncontrolledDoc =
    "UnControlledDischargeInfo(elevation_discharge, elevation_offset=None)\n--\n\n"
    "Uncontrolled spillway outlet.\n\n"
    "Discharge follows an elevation-discharge rating curve without operator\n"
    "control. An optional `elevation_offset` shifts the effective reservoir\n"
    "elevation before the rating-curve lookup \xe2\x80\x94 useful for modeling a weir crest\n"
    "that sits at a different datum than the storage curve.\n\n"
    "Zero discharge is returned when the (offset-adjusted) elevation is below\n"
    "the first entry in the rating curve.";

PyType_Slot uncontrolled_slots[] = {
    {Py_tp_doc, const_cast<char*>(kUncontrolledDoc)},
    {Py_tp_new, reinterpret_cast<void*>(new_uncontrolled)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<UnControlledDischargeInfo>)},
    {Py_tp_getset, uncontrolled_getset},
    {0, nullptr},
};

// ---- Level pool routing -------------------------------------------------------------------

PyObject* get_individual_outflows(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        return with_shared<LevelPoolResult>(self, [](const LevelPoolResult& result) -> Ref {
                   Ref outflows = Ref::steal(PyDict_New());
                   if (!outflows) return {};
                   for (const auto& [name, series] : result.reservoir_individual_outflows) {
                       Ref value = new_instance(series);
                       if (!value) return {};
                       Ref key = to_python(name);  // names may hold any text, NUL included
                       if (!key || PyDict_SetItem(outflows.get(), key.get(), value.get()) < 0) {
                           return {};
                       }
                   }
                   return outflows;
               }).release();
    });
}

PyGetSetDef result_getset[] = {
    {"reservoir_storage", get_record_field<LevelPoolResult, &LevelPoolResult::reservoir_storage>,
     nullptr, "Reservoir storage volume at each output time step.", nullptr},
    {"reservoir_elevation",
     get_record_field<LevelPoolResult, &LevelPoolResult::reservoir_elevation>, nullptr,
     "Water surface elevation at each output time step.", nullptr},
    {"reservoir_total_outflow",
     get_record_field<LevelPoolResult, &LevelPoolResult::reservoir_total_outflow>, nullptr,
     "Combined outflow from all outlets at each output time step.", nullptr},
    {"reservoir_individual_outflows", get_individual_outflows, nullptr,
     "Per-outlet outflow time series keyed by outlet name.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot result_slots[] = {
    {Py_tp_doc, const_cast<char*>("Results from a level pool routing simulation.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<LevelPoolResult>)},
    {Py_tp_getset, result_getset},
    {0, nullptr},
};

constexpr Parameters<4> kRoutingParameters{
    "run_level_pool_routing()",
    {"inflow", "initial_elevation", "elevation_storage", "discharge_info"},
    4};

PyObject* py_run_level_pool_routing(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                    PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        ContinuousTimeSeries inflow;
        double initial_elevation = 0.0;
        ElevationStorage curve;
        NamedComponents<DischargeInfo> outlets;
        if (!parse_call(kRoutingParameters, args, nargs, kwnames, inflow, initial_elevation,
                        curve, outlets)) {
            return nullptr;
        }
        auto routed = run_level_pool_routing(inflow, initial_elevation, curve, outlets,
                                              python_signals());
        if (!routed) return raise(routed.error());
        return new_instance(std::move(routed).value()).release();
    });
}

PyMethodDef routing_definition = {
    "run_level_pool_routing", as_method(py_run_level_pool_routing), kFastcallFlags,
    "run_level_pool_routing(inflow, initial_elevation, elevation_storage, discharge_info)\n--\n\n"
    "Performs level pool (modified Puls) routing for a reservoir.\n\n"
    "Integrates the mass balance equation `dS/dt = I - O` over the inflow\n"
    "hydrograph duration. Output vectors are recorded at the original inflow time\n"
    "step.\n\n"
    "# Errors\n"
    "Returns a `PyValueError` if any outlet's discharge calculation fails or if\n"
    "the initial elevation is outside the elevation-storage curve range."};

constexpr unsigned kValueFlags =
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_IMMUTABLETYPE;

template <class Record>
PyType_Spec make_spec(const char* name, PyType_Slot* slots, unsigned flags = kValueFlags) {
    return PyType_Spec{name, static_cast<int>(sizeof(Instance<Record>)), 0, flags, slots};
}

PyType_Spec storage_spec = make_spec<ElevationStorage>("ElevationStorage", storage_slots);
PyType_Spec discharge_curve_spec =
    make_spec<ElevationDischarge>("ElevationDischarge", discharge_curve_slots);
PyType_Spec constant_spec = make_spec<ConstantDischargeInfo>("ConstantDischargeInfo",
                                                             constant_slots);
PyType_Spec specified_spec = make_spec<SpecifiedDischargeInfo>("SpecifiedDischargeInfo",
                                                               specified_slots);
PyType_Spec controlled_spec = make_spec<ControlledDischargeInfo>("ControlledDischargeInfo",
                                                                 controlled_slots);
PyType_Spec uncontrolled_spec =
    make_spec<UnControlledDischargeInfo>("UnControlledDischargeInfo", uncontrolled_slots);
PyType_Spec result_spec = make_spec<LevelPoolResult>(
    "LevelPoolResult", result_slots, kValueFlags | Py_TPFLAGS_DISALLOW_INSTANTIATION);

bool fill_reservoir_utils(PyObject* module) {
    return add_class<ElevationDischarge>(module) && add_class<ElevationStorage>(module) &&
           add_class<ControlledDischargeInfo>(module) &&
           add_class<UnControlledDischargeInfo>(module) &&
           add_class<SpecifiedDischargeInfo>(module) && add_class<ConstantDischargeInfo>(module);
}

}  // namespace

}  // namespace vesparil

namespace vesparil::binding {
template <> PyType_Spec& class_spec<ElevationStorage>() { return storage_spec; }
template <> PyType_Spec& class_spec<ElevationDischarge>() { return discharge_curve_spec; }
template <> PyType_Spec& class_spec<ConstantDischargeInfo>() { return constant_spec; }
template <> PyType_Spec& class_spec<SpecifiedDischargeInfo>() { return specified_spec; }
template <> PyType_Spec& class_spec<ControlledDischargeInfo>() { return controlled_spec; }
template <> PyType_Spec& class_spec<UnControlledDischargeInfo>() { return uncontrolled_spec; }
template <> PyType_Spec& class_spec<LevelPoolResult>() { return result_spec; }
}  // namespace vesparil::binding

namespace vesparil {

bool init_reservoir(PyObject* module) {
    binding::Ref utils = binding::create_submodule("reservoir_utils");
    if (!utils || !fill_reservoir_utils(utils.get())) return false;
    return binding::attach_submodule(module, std::move(utils)) &&
           binding::add_function(module, &routing_definition) &&
           binding::add_class<LevelPoolResult>(module);
}

}  // namespace vesparil
