// The basin's continuous runoff classes, GR4J (with an optional DegreeDaySnow store in front; the
// CemaNeige class is in basin/python/snow_method_classes.cpp) and
// HBV, each holding one model's parameters and
// initial stores for one sub-basin (named as run_gr4j's and run_hbv's); such a sub-basin's daily
// forcing is read in basin/python/daily_forcing.cpp.
#include "basin/python/basin_classes.hpp"
#include "basin/daily/lumped_flow.hpp"
#include "basin/daily/snow_store.hpp"
#include "basin/python/method_class_parts.hpp"
#include "binding/parse.hpp"

namespace vesparil {

namespace {

using namespace binding;
using namespace basin_classes;

// DegreeDaySnow

constexpr Parameters<5> kDegreeDaySnowParameters{
    "DegreeDaySnow.__new__()",
    {"threshold_temperature", "melt_factor", "refreezing_coefficient", "water_holding",
     "initial_snowpack"},
    4};

PyObject* py_degree_day_snow_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        DegreeDaySnow m;
        DegreeDayParameters& p = m.parameters;
        if (!parse_new(kDegreeDaySnowParameters, args, kwargs, p.threshold_temperature,
                       p.melt_factor, p.refreezing_coefficient, p.water_holding,
                       m.initial_snowpack)) {
            return nullptr;
        }
        return checked_instance(type, m, check_snow(SnowMethod{m}));
    });
}

template <double DegreeDayParameters::*Field>
double snow_value(const DegreeDaySnow& r) {
    return r.parameters.*Field;
}

PyGetSetDef degree_day_snow_getset[] = {
    {"threshold_temperature",
     get_value<DegreeDaySnow, snow_value<&DegreeDayParameters::threshold_temperature>>, nullptr,
     "Threshold temperature (deg C).", nullptr},
    {"melt_factor", get_value<DegreeDaySnow, snow_value<&DegreeDayParameters::melt_factor>>,
     nullptr, "Degree-day factor (mm/(deg C day)).", nullptr},
    {"refreezing_coefficient",
     get_value<DegreeDaySnow, snow_value<&DegreeDayParameters::refreezing_coefficient>>, nullptr,
     "Refreezing coefficient.", nullptr},
    {"water_holding", get_value<DegreeDaySnow, snow_value<&DegreeDayParameters::water_holding>>,
     nullptr, "Water holding capacity of the snowpack.", nullptr},
    {"initial_snowpack", get_field<DegreeDaySnow, &DegreeDaySnow::initial_snowpack>, nullptr,
     "Snowpack at the start (mm).", nullptr},
    kGetsetEnd,
};

PyType_Spec degree_day_snow_spec = make_spec<DegreeDaySnow>(
    "DegreeDaySnow",
    slots<DegreeDaySnow>(
        "DegreeDaySnow(threshold_temperature, melt_factor, refreezing_coefficient, "
        "water_holding, initial_snowpack=0.0)\n--\n\n"
        "A degree-day snow store in front of GR4J (see snow.run_degree_day_snow).",
        py_degree_day_snow_new, degree_day_snow_getset),
    kSealedClassFlags);

// GR4J

constexpr Parameters<7> kGr4jParameters{
    "GR4J.__new__()",
    {"x1", "x2", "x3", "x4", "initial_production", "initial_routing", "snow"},
    4};

PyObject* py_gr4j_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        Gr4jRunoff m;
        Gr4jParameters& p = m.parameters;
        if (!parse_new(kGr4jParameters, args, kwargs, p.x1, p.x2, p.x3, p.x4,
                       m.initial_production, m.initial_routing, m.snow)) {
            return nullptr;
        }
        return checked_instance(type, m, check_continuous(ContinuousMethod{m}, kDaySeconds));
    });
}

PyObject* py_gr4j_get_snow(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        return with_shared<Gr4jRunoff>(self, [](const Gr4jRunoff& r) -> Ref {
                   if (!r.snow) return Ref::borrow(Py_None);
                   return std::visit([](const auto& snow) { return new_instance(snow); },
                                     *r.snow);
               })
            .release();
    });
}

template <double Gr4jParameters::*Field>
double gr4j_value(const Gr4jRunoff& r) {
    return r.parameters.*Field;
}

PyGetSetDef gr4j_getset[] = {
    {"x1", get_value<Gr4jRunoff, gr4j_value<&Gr4jParameters::x1>>, nullptr,
     "Production store capacity (mm).", nullptr},
    {"x2", get_value<Gr4jRunoff, gr4j_value<&Gr4jParameters::x2>>, nullptr,
     "Groundwater exchange coefficient (mm/day).", nullptr},
    {"x3", get_value<Gr4jRunoff, gr4j_value<&Gr4jParameters::x3>>, nullptr,
     "Routing store capacity (mm).", nullptr},
    {"x4", get_value<Gr4jRunoff, gr4j_value<&Gr4jParameters::x4>>, nullptr,
     "Time base of the first unit hydrograph (days).", nullptr},
    {"initial_production", get_field<Gr4jRunoff, &Gr4jRunoff::initial_production>, nullptr,
     "Production store at the start, as a share of x1.", nullptr},
    {"initial_routing", get_field<Gr4jRunoff, &Gr4jRunoff::initial_routing>, nullptr,
     "Routing store at the start, as a share of x3.", nullptr},
    {"snow", py_gr4j_get_snow, nullptr,
     "The snow store in front (DegreeDaySnow or CemaNeige), or None.", nullptr},
    kGetsetEnd,
};

PyType_Spec gr4j_spec = make_spec<Gr4jRunoff>(
    "GR4J",
    slots<Gr4jRunoff>(
        "GR4J(x1, x2, x3, x4, initial_production=0.3, initial_routing=0.5, snow=None)\n--\n\n"
        "GR4J as the whole runoff of a sub-basin on a daily basin (see run_gr4j): its\n"
        "forcing is a dict of \"precipitation\" and \"evapotranspiration\" (mm/day), and\n"
        "\"temperature\" (deg C) behind a snow store (DegreeDaySnow or CemaNeige).",
        py_gr4j_new, gr4j_getset),
    kSealedClassFlags);

// HBV

constexpr Parameters<17> kHbvParameters{
    "HBV.__new__()",
    {"tt", "cfmax", "sfcf", "cfr", "cwh", "fc", "lp", "beta", "perc", "uzl", "k0", "k1", "k2",
     "maxbas", "initial_soil_moisture", "initial_upper_zone", "initial_lower_zone"},
    14};

PyObject* py_hbv_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        HbvRunoff m;
        HbvParameters& p = m.parameters;
        if (!parse_new(kHbvParameters, args, kwargs, p.tt, p.cfmax, p.sfcf, p.cfr, p.cwh, p.fc,
                       p.lp, p.beta, p.perc, p.uzl, p.k0, p.k1, p.k2, p.maxbas,
                       m.initial_soil_moisture, m.initial_upper_zone, m.initial_lower_zone)) {
            return nullptr;
        }
        return checked_instance(type, m, check_continuous(ContinuousMethod{m}, kDaySeconds));
    });
}

template <double HbvParameters::*Field>
double hbv_value(const HbvRunoff& r) {
    return r.parameters.*Field;
}

#define VESPARIL_HBV_GET(name, doc) \
    {#name, get_value<HbvRunoff, hbv_value<&HbvParameters::name>>, nullptr, doc, nullptr}

PyGetSetDef hbv_getset[] = {
    VESPARIL_HBV_GET(tt, "Threshold temperature (deg C)."),
    VESPARIL_HBV_GET(cfmax, "Degree-day factor (mm/(deg C day))."),
    VESPARIL_HBV_GET(sfcf, "Snowfall correction factor."),
    VESPARIL_HBV_GET(cfr, "Refreezing coefficient."),
    VESPARIL_HBV_GET(cwh, "Water holding capacity of the snowpack."),
    VESPARIL_HBV_GET(fc, "Field capacity (mm)."),
    VESPARIL_HBV_GET(lp, "Share of fc above which evapotranspiration is potential."),
    VESPARIL_HBV_GET(beta, "Shape of the recharge."),
    VESPARIL_HBV_GET(perc, "Percolation (mm/day)."),
    VESPARIL_HBV_GET(uzl, "Upper zone threshold (mm)."),
    VESPARIL_HBV_GET(k0, "Quick recession (per day)."),
    VESPARIL_HBV_GET(k1, "Upper zone recession (per day)."),
    VESPARIL_HBV_GET(k2, "Lower zone recession (per day)."),
    VESPARIL_HBV_GET(maxbas, "Routing base (days)."),
    {"initial_soil_moisture", get_field<HbvRunoff, &HbvRunoff::initial_soil_moisture>, nullptr,
     "Soil moisture at the start, as a share of fc.", nullptr},
    {"initial_upper_zone", get_field<HbvRunoff, &HbvRunoff::initial_upper_zone>, nullptr,
     "Upper zone at the start (mm).", nullptr},
    {"initial_lower_zone", get_field<HbvRunoff, &HbvRunoff::initial_lower_zone>, nullptr,
     "Lower zone at the start (mm).", nullptr},
    kGetsetEnd,
};

#undef VESPARIL_HBV_GET

PyType_Spec hbv_spec = make_spec<HbvRunoff>(
    "HBV",
    slots<HbvRunoff>(
        "HBV(tt, cfmax, sfcf, cfr, cwh, fc, lp, beta, perc, uzl, k0, k1, k2, maxbas, "
        "initial_soil_moisture=0.5, initial_upper_zone=0.0, initial_lower_zone=0.0)\n--\n\n"
        "HBV as the whole runoff of a sub-basin on a daily basin (see run_hbv): its forcing\n"
        "is a dict of \"precipitation\", \"temperature\" (deg C) and \"evapotranspiration\"\n"
        "(mm/day).",
        py_hbv_new, hbv_getset),
    kSealedClassFlags);

}  // namespace

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::Gr4jRunoff>() {
    return gr4j_spec;
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::HbvRunoff>() {
    return hbv_spec;
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::DegreeDaySnow>() {
    return degree_day_snow_spec;
}
