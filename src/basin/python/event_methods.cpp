// The classes made from their methods' tables: their type specs
// (basin/model/method_tables.hpp).
#include "basin/python/basin_classes.hpp"
#include "basin/python/method_descriptor.hpp"

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::DeficitAndConstantLoss>() {
    return vesparil::basin_classes::method_spec<vesparil::DeficitAndConstantLoss>();
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::CurveNumberLoss>() {
    return vesparil::basin_classes::method_spec<vesparil::CurveNumberLoss>();
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::GreenAmptLoss>() {
    return vesparil::basin_classes::method_spec<vesparil::GreenAmptLoss>();
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::ClarkTransform>() {
    return vesparil::basin_classes::method_spec<vesparil::ClarkTransform>();
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::ScsTransform>() {
    return vesparil::basin_classes::method_spec<vesparil::ScsTransform>();
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::SnyderTransform>() {
    return vesparil::basin_classes::method_spec<vesparil::SnyderTransform>();
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::MuskingumRouting>() {
    return vesparil::basin_classes::method_spec<vesparil::MuskingumRouting>();
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::MuskingumCungeRouting>() {
    return vesparil::basin_classes::method_spec<vesparil::MuskingumCungeRouting>();
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::HbvRunoff>() {
    return vesparil::basin_classes::method_spec<vesparil::HbvRunoff>();
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::DegreeDaySnow>() {
    return vesparil::basin_classes::method_spec<vesparil::DegreeDaySnow>();
}
