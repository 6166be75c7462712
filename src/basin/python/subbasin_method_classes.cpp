// The basin's loss and transform classes of the event methods: CurveNumber, GreenAmpt,
// ScsUnitHydrograph, Snyder. Each holds one method's parameters for one sub-basin, named as the
// standalone function's (the sub-basin's area stands for the unit hydrographs' basin_area);
// durations are timedelta objects, kept in seconds with their microseconds.
#include "basin/python/basin_classes.hpp"
#include "basin/run/element_check.hpp"
#include "basin/python/method_class_parts.hpp"
#include "binding/parse.hpp"
#include "binding/timedelta.hpp"

namespace vesparil {

namespace {

using namespace binding;
using namespace basin_classes;

// CurveNumber

constexpr Parameters<3> kCurveNumberParameters{
    "CurveNumber.__new__()",
    {"curve_number", "initial_abstraction_ratio", "antecedent_moisture"},
    1};

PyObject* py_curve_number_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        CurveNumberLoss loss;
        CurveNumberParameters& p = loss.parameters;
        if (!parse_new(kCurveNumberParameters, args, kwargs, p.curve_number,
                       p.initial_abstraction_ratio, p.antecedent_moisture)) {
            return nullptr;
        }
        return checked_instance(type, loss, check_loss(LossMethod{loss}));
    });
}

double cn_number(const CurveNumberLoss& r) { return r.parameters.curve_number; }
double cn_ratio(const CurveNumberLoss& r) { return r.parameters.initial_abstraction_ratio; }
std::int64_t cn_moisture(const CurveNumberLoss& r) { return r.parameters.antecedent_moisture; }

PyGetSetDef curve_number_getset[] = {
    {"curve_number", get_value<CurveNumberLoss, cn_number>, nullptr,
     "Curve number for the antecedent moisture below.", nullptr},
    {"initial_abstraction_ratio", get_value<CurveNumberLoss, cn_ratio>, nullptr,
     "Initial abstraction as a share of the retention (lambda).", nullptr},
    {"antecedent_moisture", get_value<CurveNumberLoss, cn_moisture>, nullptr,
     "Antecedent moisture condition of the run: 1, 2 or 3.", nullptr},
    kGetsetEnd,
};

PyType_Spec curve_number_spec = make_spec<CurveNumberLoss>(
    "CurveNumber",
    slots<CurveNumberLoss>(
        "CurveNumber(curve_number, initial_abstraction_ratio=0.2, antecedent_moisture=2)\n--\n\n"
        "SCS curve-number rainfall loss of a sub-basin (see run_curve_number).",
        py_curve_number_new, curve_number_getset),
    kSealedClassFlags);

// GreenAmpt

constexpr Parameters<4> kGreenAmptParameters{
    "GreenAmpt.__new__()",
    {"hydraulic_conductivity", "suction_head", "moisture_deficit", "initial_infiltration"},
    3};

PyObject* py_green_ampt_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        GreenAmptLoss loss;
        GreenAmptParameters& p = loss.parameters;
        if (!parse_new(kGreenAmptParameters, args, kwargs, p.hydraulic_conductivity,
                       p.suction_head, p.moisture_deficit, p.initial_infiltration)) {
            return nullptr;
        }
        return checked_instance(type, loss, check_loss(LossMethod{loss}));
    });
}

double ga_conductivity(const GreenAmptLoss& r) { return r.parameters.hydraulic_conductivity; }
double ga_suction(const GreenAmptLoss& r) { return r.parameters.suction_head; }
double ga_deficit(const GreenAmptLoss& r) { return r.parameters.moisture_deficit; }
double ga_initial(const GreenAmptLoss& r) { return r.parameters.initial_infiltration; }

PyGetSetDef green_ampt_getset[] = {
    {"hydraulic_conductivity", get_value<GreenAmptLoss, ga_conductivity>, nullptr,
     "Hydraulic conductivity K (inches per hour).", nullptr},
    {"suction_head", get_value<GreenAmptLoss, ga_suction>, nullptr,
     "Wetting-front suction head (inches).", nullptr},
    {"moisture_deficit", get_value<GreenAmptLoss, ga_deficit>, nullptr,
     "Moisture deficit (share of the volume).", nullptr},
    {"initial_infiltration", get_value<GreenAmptLoss, ga_initial>, nullptr,
     "Cumulative infiltration at the start (inches).", nullptr},
    kGetsetEnd,
};

PyType_Spec green_ampt_spec = make_spec<GreenAmptLoss>(
    "GreenAmpt",
    slots<GreenAmptLoss>("GreenAmpt(hydraulic_conductivity, suction_head, moisture_deficit, "
                         "initial_infiltration=0.0)\n--\n\n"
                         "Green-Ampt rainfall loss of a sub-basin (see run_green_ampt).",
                         py_green_ampt_new, green_ampt_getset),
    kSealedClassFlags);

// ScsUnitHydrograph

constexpr Parameters<2> kScsParameters{
    "ScsUnitHydrograph.__new__()", {"lag", "peak_rate_factor"}, 1};

PyObject* py_scs_unit_hydrograph_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        Timedelta lag;
        ScsTransform transform;
        if (!parse_new(kScsParameters, args, kwargs, lag, transform.peak_rate_factor)) {
            return nullptr;
        }
        Duration seconds;
        if (!to_duration(lag, seconds)) return nullptr;
        transform.lag_seconds = seconds.as_seconds();
        return checked_instance(type, transform, check_transform_values(TransformMethod{transform}));
    });
}

PyGetSetDef scs_unit_hydrograph_getset[] = {
    {"lag", get_field<ScsTransform, &ScsTransform::lag_seconds, DurationToTimedelta>, nullptr,
     "Lag from the excess's centroid to the peak.", nullptr},
    {"peak_rate_factor", get_field<ScsTransform, &ScsTransform::peak_rate_factor>, nullptr,
     "Peak rate factor (484 for the handbook's table).", nullptr},
    kGetsetEnd,
};

PyType_Spec scs_unit_hydrograph_spec = make_spec<ScsTransform>(
    "ScsUnitHydrograph",
    slots<ScsTransform>(
        "ScsUnitHydrograph(lag, peak_rate_factor=484.0)\n--\n\n"
        "SCS dimensionless unit hydrograph transform of a sub-basin, on its area (see\n"
        "run_scs_uh).",
        py_scs_unit_hydrograph_new, scs_unit_hydrograph_getset),
    kSealedClassFlags);

// Snyder

constexpr Parameters<4> kSnyderParameters{
    "Snyder.__new__()", {"ct", "cp", "stream_length", "centroid_length"}, 4};

PyObject* py_snyder_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        SnyderTransform t;
        if (!parse_new(kSnyderParameters, args, kwargs, t.ct, t.cp, t.stream_length,
                       t.centroid_length)) {
            return nullptr;
        }
        return checked_instance(type, t, check_transform_values(TransformMethod{t}));
    });
}

PyGetSetDef snyder_getset[] = {
    {"ct", get_field<SnyderTransform, &SnyderTransform::ct>, nullptr, "Lag coefficient.",
     nullptr},
    {"cp", get_field<SnyderTransform, &SnyderTransform::cp>, nullptr, "Peaking coefficient.",
     nullptr},
    {"stream_length", get_field<SnyderTransform, &SnyderTransform::stream_length>, nullptr,
     "Main stream length (miles).", nullptr},
    {"centroid_length", get_field<SnyderTransform, &SnyderTransform::centroid_length>, nullptr,
     "Stream length to the basin's centroid (miles).", nullptr},
    kGetsetEnd,
};

PyType_Spec snyder_spec = make_spec<SnyderTransform>(
    "Snyder",
    slots<SnyderTransform>(
        "Snyder(ct, cp, stream_length, centroid_length)\n--\n\n"
        "Snyder's unit hydrograph transform of a sub-basin, on its area (see run_snyder_uh).",
        py_snyder_new, snyder_getset),
    kSealedClassFlags);

}  // namespace

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::CurveNumberLoss>() {
    return curve_number_spec;
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::GreenAmptLoss>() {
    return green_ampt_spec;
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::ScsTransform>() {
    return scs_unit_hydrograph_spec;
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::SnyderTransform>() {
    return snyder_spec;
}
