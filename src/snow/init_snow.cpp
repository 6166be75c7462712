// Python entries of the snow submodule: run_degree_day_snow, DegreeDaySnowResult, run_cemaneige,
// CemaNeigeResult.
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
#include "snow/snow_classes.hpp"

namespace vesparil {

namespace {

using namespace binding;

// A store day costs some 10 ns: the work counts days times 4 (times the bands for CemaNeige).
constexpr std::uint64_t kDayWork = 4;

constexpr Parameters<8> kRunDegreeDaySnowParameters{
    "run_degree_day_snow()",
    {"precipitation", "temperature", "threshold_temperature", "melt_factor",
     "refreezing_coefficient", "water_holding", "initial_snowpack", "warmup"},
    6};

PyObject* py_run_degree_day_snow(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                 PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        FloatSpan precipitation;
        FloatSpan temperature;
        DegreeDayParameters given{};
        double initial_snowpack = 0.0;
        std::size_t warmup = 0;
        if (!parse_call(kRunDegreeDaySnowParameters, args, nargs, kwnames, precipitation,
                        temperature, given.threshold_temperature, given.melt_factor,
                        given.refreezing_coefficient, given.water_holding, initial_snowpack,
                        warmup)) {
            return nullptr;
        }
        auto parameters = make_degree_day_parameters(given);
        if (!parameters) return raise(parameters.error());
        auto run = run_unlocked(work_units(precipitation.values().size(), kDayWork),
                                [&]() -> Result<DegreeDaySeries> {
            auto checked = check_drivers(precipitation.values(), temperature.values(), {});
            if (!checked) return std::move(checked).error();
            return run_degree_day_snow(precipitation.values(), temperature.values(), *parameters,
                                       initial_snowpack, warmup, python_signals());
        });
        if (!run) return raise(run.error());
        return new_instance(std::move(run).value()).release();
    });
}

PyMethodDef run_degree_day_snow_definition = {
    "run_degree_day_snow", as_method(py_run_degree_day_snow), kFastcallFlags,
    "run_degree_day_snow(precipitation, temperature, threshold_temperature, melt_factor, "
    "refreezing_coefficient, water_holding, initial_snowpack=0.0, warmup=0)\n--\n\n"
    "Runs a degree-day snow store (the snow routine of Seibert and Vis 2012), daily.\n\n"
    "# Arguments\n"
    "* `precipitation` - Daily precipitation (mm/day); `temperature` - daily mean (deg C).\n"
    "* `threshold_temperature` - Below it precipitation is snow and water refreezes (deg C).\n"
    "* `melt_factor` - Degree-day melt factor (mm/deg C/day).\n"
    "* `refreezing_coefficient` - Refreezing as a share of the melt factor.\n"
    "* `water_holding` - Liquid water the pack holds, as a share of its frozen water.\n"
    "* `initial_snowpack` - Frozen water at the start (mm).\n"
    "* `warmup` - Days run first whose outputs are dropped.\n\n"
    "# Returns\n"
    "A `DegreeDaySnowResult` with one value per day after the warm-up.\n\n"
    "# Errors\n"
    "Returns a `ValueError` for a parameter out of range, series of different lengths or\n"
    "a warm-up longer than the series."};

#define SNOW_FIELD(Record, name, doc) \
    {#name, get_field<Record, &Record::name>, nullptr, doc, nullptr}

PyGetSetDef degree_day_result_getset[] = {
    SNOW_FIELD(DegreeDaySeries, outflow, "Rain and melt leaving the pack (mm/day)."),
    SNOW_FIELD(DegreeDaySeries, snowpack, "Frozen water in the pack at the end of each day (mm)."),
    SNOW_FIELD(DegreeDaySeries, snow_water, "Liquid water held in the pack (mm)."),
    SNOW_FIELD(DegreeDaySeries, snowfall, "Precipitation that fell as snow (mm/day)."),
    SNOW_FIELD(DegreeDaySeries, melt, "Melt (mm/day)."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot degree_day_result_slots[] = {
    {Py_tp_doc, const_cast<char*>("Daily outputs of a degree-day snow store.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<DegreeDaySeries>)},
    {Py_tp_getset, degree_day_result_getset},
    {0, nullptr},
};

PyType_Spec degree_day_result_spec = make_spec<DegreeDaySeries>(
    "DegreeDaySnowResult", degree_day_result_slots, kResultClassFlags);

constexpr Parameters<10> kRunCemaNeigeParameters{
    "run_cemaneige()",
    {"precipitation", "temperature", "kf", "ctg", "mean_annual_snowfall", "elevations",
     "median_elevation", "temperature_gradient", "precipitation_gradient", "warmup"},
    7};

PyObject* py_run_cemaneige(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        FloatSpan precipitation;
        FloatSpan temperature;
        FloatSpan elevations;
        CemaNeigeParameters given{0.0, 0.0, 0.0, 0.0, -0.65, 0.0004};
        std::size_t warmup = 0;
        if (!parse_call(kRunCemaNeigeParameters, args, nargs, kwnames, precipitation,
                        temperature, given.kf, given.ctg, given.mean_annual_snowfall, elevations,
                        given.median_elevation, given.temperature_gradient,
                        given.precipitation_gradient, warmup)) {
            return nullptr;
        }
        auto parameters = make_cemaneige_parameters(given);
        if (!parameters) return raise(parameters.error());
        const std::uint64_t work = work_units(
            work_units(precipitation.values().size(), elevations.values().size()), kDayWork);
        auto run = run_unlocked(work, [&]() -> Result<CemaNeigeSeries> {
            auto checked = check_drivers(precipitation.values(), temperature.values(), {});
            if (!checked) return std::move(checked).error();
            return run_cemaneige(precipitation.values(), temperature.values(), *parameters,
                                 elevations.values(), warmup, python_signals());
        });
        if (!run) return raise(run.error());
        return new_instance(std::move(run).value()).release();
    });
}

PyMethodDef run_cemaneige_definition = {
    "run_cemaneige", as_method(py_run_cemaneige), kFastcallFlags,
    "run_cemaneige(precipitation, temperature, kf, ctg, mean_annual_snowfall, elevations, "
    "median_elevation, temperature_gradient=-0.65, precipitation_gradient=0.0004, "
    "warmup=0)\n--\n\n"
    "Runs the CemaNeige snow routine (Valery, Andreassian and Perrin 2014) over equal-area\n"
    "elevation bands, daily.\n\n"
    "# Arguments\n"
    "* `precipitation` - Daily catchment precipitation (mm/day); `temperature` - daily mean\n"
    "  at the median elevation (deg C).\n"
    "* `kf` - Degree-day melt factor (mm/deg C/day); `ctg` - thermal state weighting, [0, 1].\n"
    "* `mean_annual_snowfall` - The catchment's mean annual snowfall (mm), > 0.\n"
    "* `elevations` - Elevation of each band (m); `median_elevation` - the catchment's (m).\n"
    "* `temperature_gradient` - deg C per 100 m; `precipitation_gradient` - per m.\n"
    "* `warmup` - Days run first whose outputs are dropped.\n\n"
    "# Returns\n"
    "A `CemaNeigeResult` of catchment means with one value per day after the warm-up.\n\n"
    "# Errors\n"
    "Returns a `ValueError` for a parameter out of range, no band or more than 1000,\n"
    "series of different lengths or a warm-up longer than the series."};

PyGetSetDef cemaneige_result_getset[] = {
    SNOW_FIELD(CemaNeigeSeries, liquid_water, "Rain and melt, catchment mean (mm/day)."),
    SNOW_FIELD(CemaNeigeSeries, snowpack, "Snowpack G at the end of each day, mean (mm)."),
    SNOW_FIELD(CemaNeigeSeries, melt, "Melt, catchment mean (mm/day)."),
    SNOW_FIELD(CemaNeigeSeries, snowfall, "Solid precipitation, catchment mean (mm/day)."),
    SNOW_FIELD(CemaNeigeSeries, thermal_state, "Snowpack thermal state eTG, mean (deg C)."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

#undef SNOW_FIELD

PyType_Slot cemaneige_result_slots[] = {
    {Py_tp_doc, const_cast<char*>("Daily outputs of a CemaNeige run, catchment means.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<CemaNeigeSeries>)},
    {Py_tp_getset, cemaneige_result_getset},
    {0, nullptr},
};

PyType_Spec cemaneige_result_spec = make_spec<CemaNeigeSeries>(
    "CemaNeigeResult", cemaneige_result_slots, kResultClassFlags);

}  // namespace

}  // namespace vesparil

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::DegreeDaySeries>() {
    return degree_day_result_spec;
}

template <>
PyType_Spec& vesparil::binding::class_spec<vesparil::CemaNeigeSeries>() {
    return cemaneige_result_spec;
}

namespace vesparil {

bool init_snow(PyObject* module) {
    return binding::add_function(module, &run_degree_day_snow_definition) &&
           binding::add_class<DegreeDaySeries>(module) &&
           binding::add_function(module, &run_cemaneige_definition) &&
           binding::add_class<CemaNeigeSeries>(module);
}

}  // namespace vesparil
