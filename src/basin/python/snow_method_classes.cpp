// The basin's CemaNeige class: a CemaNeige snow store (see snow.run_cemaneige) in front of GR4J
// or of an event sub-basin, holding the routine's parameters and the catchment's bands.
#include "basin/python/basin_classes.hpp"
#include "basin/daily/snow_store.hpp"
#include "basin/python/method_class_parts.hpp"
#include "binding/parse.hpp"

namespace vesparil {

namespace {

using namespace binding;
using namespace basin_classes;

constexpr Parameters<7> kCemaNeigeParameters{
    "CemaNeige.__new__()",
    {"kf", "ctg", "mean_annual_snowfall", "elevations", "median_elevation",
     "temperature_gradient", "precipitation_gradient"},
    5};

PyObject* py_cemaneige_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        CemaNeigeSnow m;
        CemaNeigeParameters& p = m.parameters;
        if (!parse_new(kCemaNeigeParameters, args, kwargs, p.kf, p.ctg, p.mean_annual_snowfall,
                       m.elevations, p.median_elevation, p.temperature_gradient,
                       p.precipitation_gradient)) {
            return nullptr;
        }
        auto checked = check_snow(SnowMethod{m});
        return checked_instance(type, std::move(m), std::move(checked));
    });
}

template <double CemaNeigeParameters::*Field>
double cemaneige_value(const CemaNeigeSnow& r) {
    return r.parameters.*Field;
}

PyGetSetDef cemaneige_getset[] = {
    {"kf", get_value<CemaNeigeSnow, cemaneige_value<&CemaNeigeParameters::kf>>, nullptr,
     "Degree-day melt factor (mm/(deg C day)).", nullptr},
    {"ctg", get_value<CemaNeigeSnow, cemaneige_value<&CemaNeigeParameters::ctg>>, nullptr,
     "Weight of the previous thermal state.", nullptr},
    {"mean_annual_snowfall",
     get_value<CemaNeigeSnow, cemaneige_value<&CemaNeigeParameters::mean_annual_snowfall>>,
     nullptr, "The catchment's mean annual snowfall (mm).", nullptr},
    {"elevations", get_field<CemaNeigeSnow, &CemaNeigeSnow::elevations>, nullptr,
     "Elevation of each equal-area band (m).", nullptr},
    {"median_elevation",
     get_value<CemaNeigeSnow, cemaneige_value<&CemaNeigeParameters::median_elevation>>, nullptr,
     "The catchment's median elevation (m).", nullptr},
    {"temperature_gradient",
     get_value<CemaNeigeSnow, cemaneige_value<&CemaNeigeParameters::temperature_gradient>>,
     nullptr, "Temperature gradient (deg C per 100 m).", nullptr},
    {"precipitation_gradient",
     get_value<CemaNeigeSnow, cemaneige_value<&CemaNeigeParameters::precipitation_gradient>>,
     nullptr, "Precipitation gradient (per m).", nullptr},
    kGetsetEnd,
};

PyType_Spec cemaneige_spec = make_spec<CemaNeigeSnow>(
    "CemaNeige",
    slots<CemaNeigeSnow>(
        "CemaNeige(kf, ctg, mean_annual_snowfall, elevations, median_elevation, "
        "temperature_gradient=-0.65, precipitation_gradient=0.0004)\n--\n\n"
        "A CemaNeige snow store over equal-area elevation bands, in front of GR4J or of an\n"
        "event sub-basin (see snow.run_cemaneige); its forcing adds \"temperature\" (deg C).",
        py_cemaneige_new, cemaneige_getset),
    kSealedClassFlags);

}  // namespace

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::CemaNeigeSnow>() {
    return cemaneige_spec;
}
