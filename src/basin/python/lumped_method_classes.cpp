// The basin's GR4J class (with an optional DegreeDaySnow or CemaNeige store in front), holding
// the model's parameters and initial stores for one sub-basin (named as run_gr4j's); such a
// sub-basin's daily forcing is read in basin/python/daily_forcing.cpp. HBV's and DegreeDaySnow's
// classes are made from their tables (basin/model/method_tables.hpp).
#include "basin/python/basin_classes.hpp"
#include "basin/daily/lumped_flow.hpp"
#include "basin/daily/snow_store.hpp"
#include "basin/python/method_class_parts.hpp"
#include "binding/parse.hpp"

namespace vesparil {

namespace {

using namespace binding;
using namespace basin_classes;

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

}  // namespace

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::Gr4jRunoff>() {
    return gr4j_spec;
}
