// The basin's evapotranspiration method classes, Oudin, Hargreaves and Hamon: a daily
// sub-basin's potential evapotranspiration made from temperature at its latitude (see
// calculate_pet_oudin, calculate_pet_hargreaves and calculate_pet_hamon), in place of a given
// series. The latitude is checked when the method is made, as the functions check it.
#include "basin/python/basin_classes.hpp"
#include "basin/python/method_class_parts.hpp"
#include "basin/daily/pet_method.hpp"
#include "binding/parse.hpp"

namespace vesparil {

namespace {

using namespace binding;
using namespace basin_classes;

template <class Record, const Parameters<1>& Names>
PyObject* py_pet_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        Record method;
        if (!parse_new(Names, args, kwargs, method.latitude)) return nullptr;
        auto checked = check_pet_latitude(method);
        if (!checked) return raise(checked.error());
        return new_instance(type, method).release();
    });
}

constexpr Parameters<1> kOudinParameters{"Oudin.__new__()", {"latitude"}, 1};
constexpr Parameters<1> kHargreavesParameters{"Hargreaves.__new__()", {"latitude"}, 1};
constexpr Parameters<1> kHamonParameters{"Hamon.__new__()", {"latitude"}, 1};

constexpr const char* kLatitudeDoc = "Latitude in decimal degrees, north positive.";

// The one attribute of each method.
template <class Record>
PyGetSetDef latitude_getset[] = {
    {"latitude", get_field<Record, &Record::latitude>, nullptr, kLatitudeDoc, nullptr},
    kGetsetEnd,
};

PyType_Spec oudin_spec = make_spec<OudinPet>(
    "Oudin",
    slots<OudinPet>(
        "Oudin(latitude)\n--\n\n"
        "A daily sub-basin's potential evapotranspiration by Oudin et al. (2005) (see\n"
        "evapotranspiration.calculate_pet_oudin): its forcing gives \"day_of_year\" and\n"
        "\"temperature\" (daily mean, deg C) in place of \"evapotranspiration\".",
        py_pet_new<OudinPet, kOudinParameters>, latitude_getset<OudinPet>),
    kSealedClassFlags);

PyType_Spec hargreaves_spec = make_spec<HargreavesPet>(
    "Hargreaves",
    slots<HargreavesPet>(
        "Hargreaves(latitude)\n--\n\n"
        "A daily sub-basin's potential evapotranspiration by Hargreaves and Samani (1985) (see\n"
        "evapotranspiration.calculate_pet_hargreaves): its forcing gives \"day_of_year\",\n"
        "\"temperature_min\" and \"temperature_max\" (deg C) in place of \"evapotranspiration\".",
        py_pet_new<HargreavesPet, kHargreavesParameters>,
        latitude_getset<HargreavesPet>),
    kSealedClassFlags);

PyType_Spec hamon_spec = make_spec<HamonPet>(
    "Hamon",
    slots<HamonPet>(
        "Hamon(latitude)\n--\n\n"
        "A daily sub-basin's potential evapotranspiration by Hamon (1961) (see\n"
        "evapotranspiration.calculate_pet_hamon): its forcing gives \"day_of_year\" and\n"
        "\"temperature\" (daily mean, deg C) in place of \"evapotranspiration\".",
        py_pet_new<HamonPet, kHamonParameters>, latitude_getset<HamonPet>),
    kSealedClassFlags);

}  // namespace

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::OudinPet>() {
    return oudin_spec;
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::HargreavesPet>() {
    return hargreaves_spec;
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::HamonPet>() {
    return hamon_spec;
}
