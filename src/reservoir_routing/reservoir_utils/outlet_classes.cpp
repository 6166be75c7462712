// Python classes of the four outlet kinds.
#include <array>
#include <optional>

#include "binding/attributes.hpp"
#include "binding/parse.hpp"
#include "reservoir_routing/reservoir_utils/reservoir_utils_classes.hpp"
#include "utils/utils_classes.hpp"

namespace vesparil {

namespace {

using namespace binding;

constexpr Parameters<3> kConstantDischargeInfoParameters{
    "ConstantDischargeInfo.__new__()", {"discharge", "minimum_elevation", "maximum_elevation"}, 1};

PyObject* py_constant_discharge_info_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        ConstantDischargeInfo outlet;
        if (!parse_new(kConstantDischargeInfoParameters, args, kwargs, outlet.discharge,
                       outlet.minimum_elevation, outlet.maximum_elevation)) {
            return nullptr;
        }
        return new_instance(type, std::move(outlet)).release();
    });
}

PyGetSetDef constant_discharge_info_getset[] = {
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

constexpr const char* kConstantDischargeInfoDoc =
    "ConstantDischargeInfo(discharge, minimum_elevation=None, maximum_elevation=None)\n--\n\n"
    "Constant-rate discharge outlet.\n\n"
    "Releases a fixed flow rate at every time step, optionally gated by\n"
    "elevation bounds. When the reservoir elevation is outside the specified\n"
    "range, the outlet releases zero flow.";

PyType_Slot constant_discharge_info_slots[] = {
    {Py_tp_doc, const_cast<char*>(kConstantDischargeInfoDoc)},
    {Py_tp_new, reinterpret_cast<void*>(py_constant_discharge_info_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<ConstantDischargeInfo>)},
    {Py_tp_getset, constant_discharge_info_getset},
    {0, nullptr},
};

constexpr Parameters<4> kSpecifiedDischargeInfoParameters{
    "SpecifiedDischargeInfo.__new__()",
    {"discharge", "minimum_elevation", "maximum_elevation", "maximum_release"},
    1};

PyObject* py_specified_discharge_info_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        SpecifiedDischargeInfo outlet;
        if (!parse_new(kSpecifiedDischargeInfoParameters, args, kwargs, outlet.discharge,
                       outlet.minimum_elevation, outlet.maximum_elevation,
                       outlet.maximum_release)) {
            return nullptr;
        }
        return new_instance(type, std::move(outlet)).release();
    });
}

PyGetSetDef specified_discharge_info_getset[] = {
    {"discharge", get_record_field<SpecifiedDischargeInfo, &SpecifiedDischargeInfo::discharge>,
     nullptr, "Time series of prescribed outflow values (kind=discharge).", nullptr},
    {"minimum_elevation",
     get_field<SpecifiedDischargeInfo, &SpecifiedDischargeInfo::minimum_elevation>, nullptr,
     nullptr, nullptr},
    {"maximum_elevation",
     get_field<SpecifiedDischargeInfo, &SpecifiedDischargeInfo::maximum_elevation>, nullptr,
     nullptr, nullptr},
    {"maximum_release", get_field<SpecifiedDischargeInfo, &SpecifiedDischargeInfo::maximum_release>,
     nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kSpecifiedDischargeInfoDoc =
    "SpecifiedDischargeInfo(discharge, minimum_elevation=None, maximum_elevation=None, "
    "maximum_release=None)\n--\n\n"
    "Time-varying specified discharge outlet.\n\n"
    "Discharge is read directly from a `ContinuousTimeSeries` at each simulation\n"
    "time step, optionally gated by elevation bounds and a maximum release cap.";

PyType_Slot specified_discharge_info_slots[] = {
    {Py_tp_doc, const_cast<char*>(kSpecifiedDischargeInfoDoc)},
    {Py_tp_new, reinterpret_cast<void*>(py_specified_discharge_info_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<SpecifiedDischargeInfo>)},
    {Py_tp_getset, specified_discharge_info_getset},
    {0, nullptr},
};

constexpr Parameters<4> kControlledDischargeInfoParameters{
    "ControlledDischargeInfo.__new__()",
    {"elevation_discharge", "minimum_elevation", "maximum_elevation", "maximum_release"},
    1};

PyObject* py_controlled_discharge_info_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        ElevationDischarge curve;
        std::optional<double> minimum_elevation;
        std::optional<double> maximum_elevation;
        std::optional<double> maximum_release;
        if (!parse_new(kControlledDischargeInfoParameters, args, kwargs, curve, minimum_elevation,
                       maximum_elevation, maximum_release)) {
            return nullptr;
        }
        auto outlet = make_controlled_discharge(std::move(curve), minimum_elevation,
                                                maximum_elevation, maximum_release);
        if (!outlet) return raise(outlet.error());
        return new_instance(type, std::move(outlet).value()).release();
    });
}

PyGetSetDef controlled_discharge_info_getset[] = {
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

constexpr const char* kControlledDischargeInfoDoc =
    "ControlledDischargeInfo(elevation_discharge, minimum_elevation=None, "
    "maximum_elevation=None, maximum_release=None)\n--\n\n"
    "Controlled release outlet (e.g., gate, valve, conduit).\n\n"
    "Discharge is determined by an elevation-discharge rating curve and can be\n"
    "bounded by minimum/maximum elevation gates and a maximum release cap.\n"
    "When the reservoir elevation is below `minimum_elevation` or above\n"
    "`maximum_elevation`, the outlet releases zero flow.\n\n"
    "The `minimum_elevation` defaults to the lowest elevation in the rating curve\n"
    "if not provided, ensuring no negative-elevation lookups occur.";

PyType_Slot controlled_discharge_info_slots[] = {
    {Py_tp_doc, const_cast<char*>(kControlledDischargeInfoDoc)},
    {Py_tp_new, reinterpret_cast<void*>(py_controlled_discharge_info_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<ControlledDischargeInfo>)},
    {Py_tp_getset, controlled_discharge_info_getset},
    {0, nullptr},
};

constexpr Parameters<2> kUnControlledDischargeInfoParameters{
    "UnControlledDischargeInfo.__new__()", {"elevation_discharge", "elevation_offset"}, 1};

PyObject* py_uncontrolled_discharge_info_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        UnControlledDischargeInfo outlet;
        if (!parse_new(kUnControlledDischargeInfoParameters, args, kwargs,
                       outlet.elevation_discharge, outlet.elevation_offset)) {
            return nullptr;
        }
        return new_instance(type, std::move(outlet)).release();
    });
}

PyGetSetDef uncontrolled_discharge_info_getset[] = {
    {"elevation_discharge",
     get_record_field<UnControlledDischargeInfo, &UnControlledDischargeInfo::elevation_discharge>,
     nullptr, "Rating curve mapping elevation to discharge.", nullptr},
    {"elevation_offset",
     get_field<UnControlledDischargeInfo, &UnControlledDischargeInfo::elevation_offset>, nullptr,
     "Additive offset applied to the reservoir elevation before curve lookup.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kUnControlledDischargeInfoDoc =
    "UnControlledDischargeInfo(elevation_discharge, elevation_offset=None)\n--\n\n"
    "Uncontrolled spillway outlet.\n\n"
    "Discharge follows an elevation-discharge rating curve without operator\n"
    "control. An optional `elevation_offset` shifts the effective reservoir\n"
    "elevation before the rating-curve lookup \xe2\x80\x94 useful for modeling a weir crest\n"
    "that sits at a different datum than the storage curve.\n\n"
    "Zero discharge is returned when the (offset-adjusted) elevation is below\n"
    "the first entry in the rating curve.";

PyType_Slot uncontrolled_discharge_info_slots[] = {
    {Py_tp_doc, const_cast<char*>(kUnControlledDischargeInfoDoc)},
    {Py_tp_new, reinterpret_cast<void*>(py_uncontrolled_discharge_info_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<UnControlledDischargeInfo>)},
    {Py_tp_getset, uncontrolled_discharge_info_getset},
    {0, nullptr},
};

PyType_Spec constant_discharge_info_spec = make_spec<ConstantDischargeInfo>(
    "ConstantDischargeInfo", constant_discharge_info_slots, kValueClassFlags);
PyType_Spec specified_discharge_info_spec = make_spec<SpecifiedDischargeInfo>(
    "SpecifiedDischargeInfo", specified_discharge_info_slots, kValueClassFlags);
PyType_Spec controlled_discharge_info_spec = make_spec<ControlledDischargeInfo>(
    "ControlledDischargeInfo", controlled_discharge_info_slots, kValueClassFlags);
PyType_Spec uncontrolled_discharge_info_spec = make_spec<UnControlledDischargeInfo>(
    "UnControlledDischargeInfo", uncontrolled_discharge_info_slots, kValueClassFlags);

}  // namespace

}  // namespace vesparil

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<ConstantDischargeInfo>() {
    return constant_discharge_info_spec;
}
template <>
PyType_Spec& class_spec<SpecifiedDischargeInfo>() {
    return specified_discharge_info_spec;
}
template <>
PyType_Spec& class_spec<ControlledDischargeInfo>() {
    return controlled_discharge_info_spec;
}
template <>
PyType_Spec& class_spec<UnControlledDischargeInfo>() {
    return uncontrolled_discharge_info_spec;
}
}  // namespace vesparil::binding
