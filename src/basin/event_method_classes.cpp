// The basin's method classes of the event methods: CurveNumber, GreenAmpt (losses),
// ScsUnitHydrograph, Snyder (transforms), MuskingumCunge (reach), StorageIndication (reservoir).
// Each holds one method's parameters for one element, named as the standalone function's;
// durations are timedelta objects, kept in seconds with their microseconds.
#include "basin/basin_classes.hpp"
#include "binding/attributes.hpp"
#include "binding/containers.hpp"
#include "binding/parse.hpp"
#include "binding/timedelta.hpp"
#include "reservoir_routing/reservoir_utils/reservoir_utils_classes.hpp"

namespace vesparil {

namespace {

using namespace binding;

// A getter of the value `Read` takes from the record, built by `Build`.
template <class Record, auto Read, class Build = ToPython>
PyObject* get_value(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        return with_shared<Record>(self, [](const Record& record) { return Build{}(Read(record)); })
            .release();
    });
}

// None for a value left to the method.
struct OptionalToPython {
    template <class T>
    Ref operator()(const std::optional<T>& value) const {
        return value ? to_python(*value) : Ref::borrow(Py_None);
    }
};

template <class Record>
PyType_Slot* slots(const char* doc, newfunc make, PyGetSetDef* getset) {
    static PyType_Slot table[] = {
        {Py_tp_doc, const_cast<char*>(doc)},
        {Py_tp_new, reinterpret_cast<void*>(make)},
        {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<Record>)},
        {Py_tp_getset, getset},
        {0, nullptr},
    };
    return table;
}

constexpr PyGetSetDef kGetsetEnd{nullptr, nullptr, nullptr, nullptr, nullptr};

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
        return new_instance(type, loss).release();
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
        return new_instance(type, loss).release();
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
        return new_instance(type, transform).release();
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
        return new_instance(type, t).release();
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

// MuskingumCunge

constexpr Parameters<8> kMuskingumCungeParameters{
    "MuskingumCunge.__new__()",
    {"length", "slope", "manning_n", "bottom_width", "side_slope", "reference_flow",
     "sub_reaches", "sub_steps"},
    4};

PyObject* py_muskingum_cunge_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        MuskingumCungeRouting routing;
        MuskingumCungeParameters& p = routing.parameters;
        if (!parse_new(kMuskingumCungeParameters, args, kwargs, p.channel.length,
                       p.channel.slope, p.channel.manning_n, p.channel.bottom_width,
                       p.channel.side_slope, p.reference_flow, p.sub_reaches, p.sub_steps)) {
            return nullptr;
        }
        return new_instance(type, routing).release();
    });
}

double mc_length(const MuskingumCungeRouting& r) { return r.parameters.channel.length; }
double mc_slope(const MuskingumCungeRouting& r) { return r.parameters.channel.slope; }
double mc_n(const MuskingumCungeRouting& r) { return r.parameters.channel.manning_n; }
double mc_width(const MuskingumCungeRouting& r) { return r.parameters.channel.bottom_width; }
double mc_side(const MuskingumCungeRouting& r) { return r.parameters.channel.side_slope; }
std::optional<double> mc_reference(const MuskingumCungeRouting& r) {
    return r.parameters.reference_flow;
}
std::optional<std::int64_t> mc_reaches(const MuskingumCungeRouting& r) {
    return r.parameters.sub_reaches;
}
std::optional<std::int64_t> mc_steps(const MuskingumCungeRouting& r) {
    return r.parameters.sub_steps;
}

using Cunge = MuskingumCungeRouting;
PyGetSetDef muskingum_cunge_getset[] = {
    {"length", get_value<Cunge, mc_length>, nullptr, "Reach length (ft).", nullptr},
    {"slope", get_value<Cunge, mc_slope>, nullptr, "Bed slope (ft/ft).", nullptr},
    {"manning_n", get_value<Cunge, mc_n>, nullptr, "Manning's n.", nullptr},
    {"bottom_width", get_value<Cunge, mc_width>, nullptr, "Bottom width (ft).", nullptr},
    {"side_slope", get_value<Cunge, mc_side>, nullptr,
     "Side slope, horizontal per vertical (0: rectangular).", nullptr},
    {"reference_flow", get_value<Cunge, mc_reference, OptionalToPython>, nullptr,
     "Flow of constant parameters, or None for variable ones (cfs).", nullptr},
    {"sub_reaches", get_value<Cunge, mc_reaches, OptionalToPython>, nullptr,
     "Sub-reaches, or None for the method's choice.", nullptr},
    {"sub_steps", get_value<Cunge, mc_steps, OptionalToPython>, nullptr,
     "Sub-steps per step, or None for the method's choice.", nullptr},
    kGetsetEnd,
};

PyType_Spec muskingum_cunge_spec = make_spec<MuskingumCungeRouting>(
    "MuskingumCunge",
    slots<MuskingumCungeRouting>(
        "MuskingumCunge(length, slope, manning_n, bottom_width, side_slope=0.0, "
        "reference_flow=None, sub_reaches=None, sub_steps=None)\n--\n\n"
        "Muskingum-Cunge routing of a reach from its channel (see "
        "run_muskingum_cunge_routing).",
        py_muskingum_cunge_new, muskingum_cunge_getset),
    kSealedClassFlags);

// StorageIndication

constexpr Parameters<3> kStorageIndicationParameters{
    "StorageIndication.__new__()", {"elevation_storage", "outlets", "initial_elevation"}, 3};

PyObject* py_storage_indication_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        StorageIndicationRouting routing;
        LevelPoolRouting& pool = routing.pool;
        if (!parse_new(kStorageIndicationParameters, args, kwargs, pool.elevation_storage,
                       pool.outlets, pool.initial_elevation)) {
            return nullptr;
        }
        return new_instance(type, std::move(routing)).release();
    });
}

PyObject* py_storage_indication_get_outlets(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        return with_shared<StorageIndicationRouting>(
                   self,
                   [](const StorageIndicationRouting& routing) {
                       return to_python_dict(routing.pool.outlets, [](const DischargeInfo& o) {
                           return std::visit([](const auto& info) { return new_instance(info); },
                                             o);
                       });
                   })
            .release();
    });
}

const ElevationStorage& si_curve(const StorageIndicationRouting& r) {
    return r.pool.elevation_storage;
}
double si_initial(const StorageIndicationRouting& r) { return r.pool.initial_elevation; }

PyGetSetDef storage_indication_getset[] = {
    {"elevation_storage", get_value<StorageIndicationRouting, si_curve, NewInstance>, nullptr,
     "Elevation-storage curve of the pool.", nullptr},
    {"outlets", py_storage_indication_get_outlets, nullptr, "Outlets by name, in order.",
     nullptr},
    {"initial_elevation", get_value<StorageIndicationRouting, si_initial>, nullptr,
     "Water surface elevation at the start.", nullptr},
    kGetsetEnd,
};

PyType_Spec storage_indication_spec = make_spec<StorageIndicationRouting>(
    "StorageIndication",
    slots<StorageIndicationRouting>(
        "StorageIndication(elevation_storage, outlets, initial_elevation)\n--\n\n"
        "Storage-indication routing of a reservoir at the basin's step (see\n"
        "run_storage_indication_routing); `outlets` is a dict of outlet objects, asked in\n"
        "its order.",
        py_storage_indication_new, storage_indication_getset),
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
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::MuskingumCungeRouting>() {
    return muskingum_cunge_spec;
}
template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::StorageIndicationRouting>() {
    return storage_indication_spec;
}
