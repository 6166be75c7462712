// The Python classes of the rating curves (reservoir_utils/rating_curve_classes.cpp) and of the
// four outlets (reservoir_utils/outlet_classes.cpp).
#pragma once

#include <Python.h>

#include <array>

#include "binding/first_of.hpp"
#include "binding/record_argument.hpp"
#include "reservoir_routing/reservoir_utils/discharge_source.hpp"
#include "reservoir_routing/reservoir_utils/elevation_discharge.hpp"
#include "reservoir_routing/reservoir_utils/elevation_storage.hpp"

namespace vesparil::binding {
template <>
PyType_Spec& class_spec<ElevationStorage>();
template <>
PyType_Spec& class_spec<ElevationDischarge>();
template <>
PyType_Spec& class_spec<ConstantDischargeInfo>();
template <>
PyType_Spec& class_spec<SpecifiedDischargeInfo>();
template <>
PyType_Spec& class_spec<ControlledDischargeInfo>();
template <>
PyType_Spec& class_spec<UnControlledDischargeInfo>();

template <>
inline constexpr bool is_argument_class<ElevationStorage> = true;
template <>
inline constexpr bool is_argument_class<ElevationDischarge> = true;
template <>
inline constexpr bool is_argument_class<ConstantDischargeInfo> = true;
template <>
inline constexpr bool is_argument_class<SpecifiedDischargeInfo> = true;
template <>
inline constexpr bool is_argument_class<ControlledDischargeInfo> = true;
template <>
inline constexpr bool is_argument_class<UnControlledDischargeInfo> = true;

// A dict value of `discharge_info` becomes the first outlet class it is an instance of, in the
// variant's order.
template <>
struct UnionNames<DischargeInfo> {
    static constexpr const char* name = "DischargeInfo";
    static constexpr std::array<const char*, 4> variants{"Uncontrolled", "Controlled", "Specified",
                                                         "Constant"};
};
}  // namespace vesparil::binding
