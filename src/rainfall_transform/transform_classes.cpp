// The SnyderParameters result class, and the `time_base` word.
#include "rainfall_transform/transform_classes.hpp"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "binding/attributes.hpp"

namespace vesparil {

namespace {

using namespace binding;

// The sketch as a list of (hours, cfs) tuples.
struct ToPointList {
    Ref operator()(const std::vector<std::pair<double, double>>& points) const {
        Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(points.size())));
        if (!list) return list;
        for (std::size_t k = 0; k < points.size(); ++k) {
            Ref hours = to_python(points[k].first);
            Ref cfs = hours ? to_python(points[k].second) : Ref{};
            if (!cfs) return {};
            Ref point = Ref::steal(PyTuple_Pack(2, hours.get(), cfs.get()));
            if (!point) return {};
            PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(k), point.release());
        }
        return list;
    }
};

template <auto Field>
constexpr auto number = get_field<SnyderHydrograph, Field>;

PyGetSetDef snyder_parameters_getset[] = {
    {"lag", number<&SnyderHydrograph::lag>, nullptr,
     "Basin lag tp = Ct (L Lc)^0.3 (hours).", nullptr},
    {"standard_duration", number<&SnyderHydrograph::standard_duration>, nullptr,
     "Standard duration of the excess tr = tp / 5.5 (hours).", nullptr},
    {"duration", number<&SnyderHydrograph::duration>, nullptr,
     "Duration tR of the excess the hydrograph is for: the time step, or tr (hours).", nullptr},
    {"adjusted_lag", number<&SnyderHydrograph::adjusted_lag>, nullptr,
     "Lag for that duration, tpR = tp - (tr - tR) / 4 (hours).", nullptr},
    {"peak_rate", number<&SnyderHydrograph::peak_rate>, nullptr,
     "qpR = 640 Cp / tpR (cfs per square mile per inch of excess).", nullptr},
    {"peak_time", number<&SnyderHydrograph::peak_time>, nullptr,
     "Time to peak from the start of the excess, Tp = tR / 2 + tpR (hours).", nullptr},
    {"peak_discharge", number<&SnyderHydrograph::peak_discharge>, nullptr,
     "Peak of the sketch qp = qpR A / 640 for one inch (cfs), before any scaling.", nullptr},
    {"w50", number<&SnyderHydrograph::w50>, nullptr,
     "Width at half the peak, 770 qpR^-1.08 (hours).", nullptr},
    {"w75", number<&SnyderHydrograph::w75>, nullptr,
     "Width at three quarters of the peak, 440 qpR^-1.08 (hours).", nullptr},
    {"time_base", number<&SnyderHydrograph::time_base>, nullptr,
     "Time base tb by the rule asked for (hours).", nullptr},
    {"sketch", get_field<SnyderHydrograph, &SnyderHydrograph::sketch, ToPointList>, nullptr,
     "The (hours, cfs) points of the sketch, (0, 0) to (tb, 0), a point no later than the\n"
     "one before it left out.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot snyder_parameters_slots[] = {
    {Py_tp_doc, const_cast<char*>("Snyder's synthetic unit hydrograph for one duration, as the "
                                  "equations give it (not scaled to one inch).")},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<SnyderHydrograph>)},
    {Py_tp_getset, snyder_parameters_getset},
    {0, nullptr},
};

PyType_Spec snyder_parameters_spec = make_spec<SnyderHydrograph>(
    "SnyderParameters", snyder_parameters_slots, kResultClassFlags);

}  // namespace

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::SnyderHydrograph>() {
    return snyder_parameters_spec;
}

namespace vesparil::binding {

bool Extract<SnyderTimeBase>::from(PyObject* object, SnyderTimeBase& out) {
    std::string word;
    if (!extract(object, word)) return false;
    const auto rule = snyder_time_base(word);
    if (!rule) return raise(rule.error()), false;
    out = *rule;
    return true;
}

}  // namespace vesparil::binding
