// Every record that is exposed as a Python class. The PyType_Spec of each class is defined by the
// registration file of its subsystem; declaring the specialisations here lets any file convert
// or create instances of any class.
#pragma once

#include <Python.h>

#include "binding/instance.hpp"

namespace vesparil {
struct ContinuousTimeSeries;
struct IncrementalTimeSeries;
struct DeficitConstantResult;
struct ElevationStorage;
struct ElevationDischarge;
struct ConstantDischargeInfo;
struct SpecifiedDischargeInfo;
struct ControlledDischargeInfo;
struct UnControlledDischargeInfo;
struct LevelPoolResult;
struct LinearReservoir;
}  // namespace vesparil

namespace vesparil::binding {
template <> PyType_Spec& class_spec<ContinuousTimeSeries>();
template <> PyType_Spec& class_spec<IncrementalTimeSeries>();
template <> PyType_Spec& class_spec<DeficitConstantResult>();
template <> PyType_Spec& class_spec<ElevationStorage>();
template <> PyType_Spec& class_spec<ElevationDischarge>();
template <> PyType_Spec& class_spec<ConstantDischargeInfo>();
template <> PyType_Spec& class_spec<SpecifiedDischargeInfo>();
template <> PyType_Spec& class_spec<ControlledDischargeInfo>();
template <> PyType_Spec& class_spec<UnControlledDischargeInfo>();
template <> PyType_Spec& class_spec<LevelPoolResult>();
template <> PyType_Spec& class_spec<LinearReservoir>();

template <class Record>
inline constexpr bool is_module_class = false;
template <> inline constexpr bool is_module_class<ContinuousTimeSeries> = true;
template <> inline constexpr bool is_module_class<IncrementalTimeSeries> = true;
template <> inline constexpr bool is_module_class<ElevationStorage> = true;
template <> inline constexpr bool is_module_class<ElevationDischarge> = true;
template <> inline constexpr bool is_module_class<ConstantDischargeInfo> = true;
template <> inline constexpr bool is_module_class<SpecifiedDischargeInfo> = true;
template <> inline constexpr bool is_module_class<ControlledDischargeInfo> = true;
template <> inline constexpr bool is_module_class<UnControlledDischargeInfo> = true;
template <> inline constexpr bool is_module_class<LinearReservoir> = true;

// Arguments that are instances of a module class are copied into their record.
template <class Record>
    requires is_module_class<Record>
struct Extract<Record> {
    static bool from(PyObject* object, Record& out) { return extract_instance(object, out); }
};
}  // namespace vesparil::binding
