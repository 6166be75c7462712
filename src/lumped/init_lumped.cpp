// Python entries of the lumped submodule: run_gr4j, GR4JResult, run_hbv, HBVResult.
#include <array>
#include <utility>

#include "binding/attributes.hpp"
#include "core/driving_series.hpp"
#include "binding/entry.hpp"
#include "binding/float_vector.hpp"
#include "binding/module.hpp"
#include "binding/parse.hpp"
#include "binding/signals.hpp"
#include "binding/unlocked.hpp"
#include "init.hpp"
#include "lumped/lumped_classes.hpp"

namespace vesparil {

namespace {

using namespace binding;

constexpr Parameters<9> kRunGr4jParameters{
    "run_gr4j()",
    {"precipitation", "evapotranspiration", "x1", "x2", "x3", "x4", "initial_production",
     "initial_routing", "warmup"},
    6};

PyObject* py_run_gr4j(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        FloatSpan precipitation;
        FloatSpan evapotranspiration;
        double x1 = 0.0;
        double x2 = 0.0;
        double x3 = 0.0;
        double x4 = 0.0;
        double initial_production = 0.3;
        double initial_routing = 0.5;
        std::size_t warmup = 0;
        if (!parse_call(kRunGr4jParameters, args, nargs, kwnames, precipitation,
                        evapotranspiration, x1, x2, x3, x4, initial_production, initial_routing,
                        warmup)) {
            return nullptr;
        }
        auto parameters = make_gr4j_parameters(x1, x2, x3, x4);
        if (!parameters) return raise(parameters.error());
        // Days times a day's work as the core counts it, in units of some 9 ns: runs from some
        // 2 ms let go of the lock, from some 15,000 days with ordinary parameters, from 70 with
        // the longest unit hydrographs.
        const std::uint64_t work =
            work_units(precipitation.values().size(), gr4j_day_work(*parameters));
        auto run = run_unlocked(work, [&]() -> Result<Gr4jSeries> {
            auto checked = check_drivers(precipitation.values(), {}, evapotranspiration.values());
            if (!checked) return std::move(checked).error();
            return run_gr4j(precipitation.values(), evapotranspiration.values(), *parameters,
                            initial_production, initial_routing, warmup, python_signals());
        });
        if (!run) return raise(run.error());
        return new_instance(std::move(run).value()).release();
    });
}

PyMethodDef run_gr4j_definition = {
    "run_gr4j", as_method(py_run_gr4j), kFastcallFlags,
    "run_gr4j(precipitation, evapotranspiration, x1, x2, x3, x4, initial_production=0.3, "
    "initial_routing=0.5, warmup=0)\n--\n\n"
    "Runs the GR4J daily rainfall-runoff model (Perrin, Michel and Andreassian 2003).\n\n"
    "# Arguments\n"
    "* `precipitation` - Daily precipitation (mm/day).\n"
    "* `evapotranspiration` - Daily potential evapotranspiration (mm/day), same length.\n"
    "* `x1` - Production store capacity (mm), > 0.\n"
    "* `x2` - Groundwater exchange coefficient (mm/day), negative for losses.\n"
    "* `x3` - Routing store capacity (mm), > 0.\n"
    "* `x4` - Time base of the first unit hydrograph (days), in (0, 10000].\n"
    "* `initial_production` - Starting production store as a fraction of x1.\n"
    "* `initial_routing` - Starting routing store as a fraction of x3.\n"
    "* `warmup` - Days run first whose outputs are dropped.\n\n"
    "# Returns\n"
    "A `GR4JResult` with one value per day after the warm-up (mm/day or mm).\n\n"
    "# Errors\n"
    "Returns a `ValueError` for a parameter out of range, series of different lengths,\n"
    "a fraction outside [0, 1] or a warm-up longer than the series."};

PyGetSetDef gr4j_result_getset[] = {
    {"flow", get_field<Gr4jSeries, &Gr4jSeries::flow>, nullptr,
     "Streamflow Q (mm/day).", nullptr},
    {"production_store", get_field<Gr4jSeries, &Gr4jSeries::production_store>, nullptr,
     "Production store S at the end of each day (mm).", nullptr},
    {"routing_store", get_field<Gr4jSeries, &Gr4jSeries::routing_store>, nullptr,
     "Routing store R at the end of each day (mm).", nullptr},
    {"unit_hydrograph_store", get_field<Gr4jSeries, &Gr4jSeries::unit_hydrograph_store>, nullptr,
     "Water still held in the two unit hydrographs at the end of each day (mm).", nullptr},
    {"actual_evapotranspiration",
     get_field<Gr4jSeries, &Gr4jSeries::actual_evapotranspiration>, nullptr,
     "Actual evapotranspiration: Es plus min(P, E) (mm/day).", nullptr},
    {"exchange", get_field<Gr4jSeries, &Gr4jSeries::exchange>, nullptr,
     "Groundwater exchange applied, gains positive (mm/day).", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot gr4j_result_slots[] = {
    {Py_tp_doc, const_cast<char*>("Daily outputs of a GR4J run.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<Gr4jSeries>)},
    {Py_tp_getset, gr4j_result_getset},
    {0, nullptr},
};

PyType_Spec gr4j_result_spec =
    make_spec<Gr4jSeries>("GR4JResult", gr4j_result_slots, kResultClassFlags);

constexpr Parameters<21> kRunHbvParameters{
    "run_hbv()",
    {"precipitation", "temperature", "evapotranspiration", "tt", "cfmax", "sfcf", "cfr", "cwh",
     "fc", "lp", "beta", "perc", "uzl", "k0", "k1", "k2", "maxbas", "initial_soil_moisture",
     "initial_upper_zone", "initial_lower_zone", "warmup"},
    17};

PyObject* py_run_hbv(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        FloatSpan precipitation;
        FloatSpan temperature;
        FloatSpan evapotranspiration;
        HbvParameters given{};
        double initial_soil_moisture = 0.5;
        double initial_upper_zone = 0.0;
        double initial_lower_zone = 0.0;
        std::size_t warmup = 0;
        if (!parse_call(kRunHbvParameters, args, nargs, kwnames, precipitation, temperature,
                        evapotranspiration, given.tt, given.cfmax, given.sfcf, given.cfr,
                        given.cwh, given.fc, given.lp, given.beta, given.perc, given.uzl,
                        given.k0, given.k1, given.k2, given.maxbas, initial_soil_moisture,
                        initial_upper_zone, initial_lower_zone, warmup)) {
            return nullptr;
        }
        auto parameters = make_hbv_parameters(given);
        if (!parameters) return raise(parameters.error());
        // As for GR4J (units of some 7 ns): from some 33,000 days with ordinary parameters, from
        // 210 with the longest MAXBAS.
        const std::uint64_t work =
            work_units(precipitation.values().size(), hbv_day_work(*parameters));
        auto run = run_unlocked(work, [&]() -> Result<HbvSeries> {
            auto checked = check_drivers(precipitation.values(), temperature.values(),
                                         evapotranspiration.values());
            if (!checked) return std::move(checked).error();
            return run_hbv(precipitation.values(), temperature.values(),
                           evapotranspiration.values(), *parameters, initial_soil_moisture,
                           initial_upper_zone, initial_lower_zone, warmup, python_signals());
        });
        if (!run) return raise(run.error());
        return new_instance(std::move(run).value()).release();
    });
}

PyMethodDef run_hbv_definition = {
    "run_hbv", as_method(py_run_hbv), kFastcallFlags,
    "run_hbv(precipitation, temperature, evapotranspiration, tt, cfmax, sfcf, cfr, cwh, fc, lp, "
    "beta, perc, uzl, k0, k1, k2, maxbas, initial_soil_moisture=0.5, initial_upper_zone=0.0, "
    "initial_lower_zone=0.0, warmup=0)\n--\n\n"
    "Runs the HBV model in its light form (Seibert and Vis 2012), daily.\n\n"
    "# Arguments\n"
    "* `precipitation`, `evapotranspiration` - Daily series (mm/day); `temperature` (deg C).\n"
    "* `tt`, `cfmax`, `sfcf`, `cfr`, `cwh` - Snow: threshold (deg C), degree-day factor\n"
    "  (mm/deg C/day), snowfall correction, refreezing coefficient, water holding capacity.\n"
    "* `fc`, `lp`, `beta` - Soil: field capacity (mm), evaporation limit (fraction of fc),\n"
    "  shape of the recharge.\n"
    "* `perc`, `uzl`, `k0`, `k1`, `k2`, `maxbas` - Response: percolation (mm/day), upper\n"
    "  zone threshold (mm), recession coefficients (1/day), routing base (days).\n"
    "* `initial_soil_moisture` - Starting soil moisture as a fraction of fc.\n"
    "* `initial_upper_zone`, `initial_lower_zone` - Starting zones (mm).\n"
    "* `warmup` - Days run first whose outputs are dropped.\n\n"
    "# Returns\n"
    "An `HBVResult` with one value per day after the warm-up.\n\n"
    "# Errors\n"
    "Returns a `ValueError` for a parameter out of range, series of different lengths or\n"
    "a warm-up longer than the series."};

#define HBV_FIELD(name, doc) \
    {#name, get_field<HbvSeries, &HbvSeries::name>, nullptr, doc, nullptr}

PyGetSetDef hbv_result_getset[] = {
    HBV_FIELD(flow, "Streamflow after the MAXBAS routing (mm/day)."),
    HBV_FIELD(snowpack, "Frozen water in the snowpack at the end of each day (mm)."),
    HBV_FIELD(snow_water, "Liquid water held in the snowpack (mm)."),
    HBV_FIELD(soil_moisture, "Soil moisture SM (mm)."),
    HBV_FIELD(upper_zone, "Upper groundwater zone SUZ (mm)."),
    HBV_FIELD(lower_zone, "Lower groundwater zone SLZ (mm)."),
    HBV_FIELD(routing_store, "Water still in the MAXBAS routing (mm)."),
    HBV_FIELD(actual_evapotranspiration, "Actual evapotranspiration from the soil (mm/day)."),
    HBV_FIELD(recharge, "Recharge from the soil to the upper zone (mm/day)."),
    HBV_FIELD(snowfall, "Snowfall after the SFCF correction (mm/day)."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

#undef HBV_FIELD

PyType_Slot hbv_result_slots[] = {
    {Py_tp_doc, const_cast<char*>("Daily outputs of an HBV run.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<HbvSeries>)},
    {Py_tp_getset, hbv_result_getset},
    {0, nullptr},
};

PyType_Spec hbv_result_spec =
    make_spec<HbvSeries>("HBVResult", hbv_result_slots, kResultClassFlags);

}  // namespace

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::Gr4jSeries>() {
    return gr4j_result_spec;
}

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::HbvSeries>() {
    return hbv_result_spec;
}

namespace vesparil {

bool init_lumped(PyObject* module) {
    return binding::add_function(module, &run_gr4j_definition) &&
           binding::add_class<Gr4jSeries>(module) &&
           binding::add_function(module, &run_hbv_definition) &&
           binding::add_class<HbvSeries>(module);
}

}  // namespace vesparil
