// Python entries of the rainfall_transform submodule: run_clark_uh, run_scs_uh, run_snyder_uh,
// calculate_snyder_parameters, SnyderParameters.
#include <array>
#include <optional>

#include "binding/entry.hpp"
#include "binding/module.hpp"
#include "binding/parse.hpp"
#include "binding/signals.hpp"
#include "binding/timedelta.hpp"
#include "binding/unlocked.hpp"
#include "core/units.hpp"
#include "init.hpp"
#include "rainfall_transform/clark_uh.hpp"
#include "rainfall_transform/scs_uh.hpp"
#include "rainfall_transform/snyder_uh.hpp"
#include "rainfall_transform/transform_classes.hpp"
#include "utils/utils_classes.hpp"

namespace vesparil {

namespace {

using namespace binding;

constexpr Parameters<4> kRunClarkUhParameters{
    "run_clark_uh()", {"rainfall", "basin_area", "tc", "storage_r"}, 4};

PyObject* py_run_clark_uh(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        IncrementalTimeSeries rainfall;
        double basin_area = 0.0;
        Timedelta tc;
        Timedelta storage_r;
        if (!parse_call(kRunClarkUhParameters, args, nargs, kwnames, rainfall, basin_area, tc,
                        storage_r)) {
            return nullptr;
        }
        Duration concentration;
        Duration storage;
        if (!to_duration(tc, concentration) || !to_duration(storage_r, storage)) return nullptr;
        // Each step adds up to one unit hydrograph, about tc / time step ordinates long; eight
        // of those vectorised multiply-adds make about one unit of work.
        const double ordinates = concentration.as_seconds() / rainfall.time_step;
        const std::uint64_t per_step = !(ordinates >= 1.0) ? 1
                                       : ordinates < 1e9   ? static_cast<std::uint64_t>(ordinates)
                                                           : std::uint64_t{1000000000};
        auto runoff = run_unlocked(work_units(rainfall.data.size(), per_step) / 8, [&] {
            return clark_uh_rs(rainfall.data, rainfall.time_step, basin_area,
                               concentration.as_seconds(), storage.as_seconds(), python_signals());
        });
        if (!runoff) return raise(runoff.error());
        return new_instance(ContinuousTimeSeries{std::move(runoff).value(),
                                                 std::string(kKindDischarge), rainfall.time_step})
            .release();
    });
}

PyMethodDef run_clark_uh_definition = {
    "run_clark_uh", as_method(py_run_clark_uh), kFastcallFlags,
    "run_clark_uh(rainfall, basin_area, tc, storage_r)\n--\n\n"
    "Transforms excess rainfall into a runoff hydrograph using the Clark unit hydrograph.\n\n"
    "# Arguments\n"
    "* `rainfall` - Excess rainfall series (inches per time step).\n"
    "* `basin_area` - Drainage area in acres.\n"
    "* `tc` - Time of concentration. Controls the duration and shape of the\n"
    "  translation hydrograph.\n"
    "* `storage_r` - Linear reservoir storage coefficient. Controls attenuation.\n\n"
    "# Returns\n"
    "A `ContinuousTimeSeries` (kind=discharge, cfs) at the same time step as `rainfall`."};

constexpr Parameters<4> kRunScsUhParameters{
    "run_scs_uh()", {"rainfall", "basin_area", "lag", "peak_rate_factor"}, 3};

PyObject* py_run_scs_uh(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        IncrementalTimeSeries rainfall;
        ScsUnitHydrographParameters parameters;
        Timedelta lag;
        if (!parse_call(kRunScsUhParameters, args, nargs, kwnames, rainfall,
                        parameters.basin_area, lag, parameters.peak_rate_factor)) {
            return nullptr;
        }
        Duration lag_time;
        if (!to_duration(lag, lag_time)) return nullptr;
        parameters.lag_seconds = lag_time.as_seconds();
        // About 5 Tp / time step ordinates per wet step, eight multiply-adds a unit of work.
        const double ordinates = 5.0 * (0.5 + parameters.lag_seconds / rainfall.time_step);
        const std::uint64_t per_step = ordinates < 1e9 ? static_cast<std::uint64_t>(ordinates) + 1
                                                       : std::uint64_t{1000000000};
        auto runoff = run_unlocked(work_units(rainfall.data.size(), per_step) / 8, [&] {
            return run_scs_uh(rainfall.data, rainfall.time_step, parameters, python_signals());
        });
        if (!runoff) return raise(runoff.error());
        return new_instance(ContinuousTimeSeries{std::move(runoff).value(),
                                                 std::string(kKindDischarge), rainfall.time_step})
            .release();
    });
}

PyMethodDef run_scs_uh_definition = {
    "run_scs_uh", as_method(py_run_scs_uh), kFastcallFlags,
    "run_scs_uh(rainfall, basin_area, lag, peak_rate_factor=484.0)\n--\n\n"
    "Transforms excess rainfall into a runoff hydrograph with the SCS dimensionless\n"
    "unit hydrograph; one inch of excess gives exactly one inch of runoff.\n\n"
    "# Arguments\n"
    "* `rainfall` - Excess rainfall series (inches per time step).\n"
    "* `basin_area` - Drainage area in acres.\n"
    "* `lag` - Basin lag L (about 0.6 times the time of concentration); the time to\n"
    "  peak is Tp = time_step / 2 + L.\n"
    "* `peak_rate_factor` - 484 uses the tabulated curve; other values a gamma-shaped\n"
    "  curve of that peak rate factor (300 flat, 600 steep).\n\n"
    "# Returns\n"
    "A `ContinuousTimeSeries` (kind=discharge, cfs) at the same time step as `rainfall`;\n"
    "value k is the flow at the end of step k."};

constexpr Parameters<7> kRunSnyderUhParameters{
    "run_snyder_uh()",
    {"rainfall", "basin_area", "ct", "cp", "stream_length", "centroid_length", "time_base"},
    6,
    6};

PyObject* py_run_snyder_uh(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        IncrementalTimeSeries rainfall;
        SnyderParameters parameters;
        SnyderTimeBase time_base = SnyderTimeBase::triangle;
        if (!parse_call(kRunSnyderUhParameters, args, nargs, kwnames, rainfall,
                        parameters.basin_area, parameters.ct, parameters.cp,
                        parameters.stream_length, parameters.centroid_length, time_base)) {
            return nullptr;
        }
        auto runoff = run_unlocked(work_units(rainfall.data.size(), 64), [&] {
            return run_snyder_uh(rainfall.data, rainfall.time_step, parameters, python_signals(),
                                 time_base);
        });
        if (!runoff) return raise(runoff.error());
        return new_instance(ContinuousTimeSeries{std::move(runoff).value(),
                                                 std::string(kKindDischarge), rainfall.time_step})
            .release();
    });
}

PyMethodDef run_snyder_uh_definition = {
    "run_snyder_uh", as_method(py_run_snyder_uh), kFastcallFlags,
    "run_snyder_uh(rainfall, basin_area, ct, cp, stream_length, centroid_length, *, "
    "time_base='triangle')\n--\n\n"
    "Transforms excess rainfall into a runoff hydrograph with Snyder's synthetic unit\n"
    "hydrograph for the series' time step; one inch of excess gives exactly one inch\n"
    "of runoff.\n\n"
    "# Arguments\n"
    "* `rainfall` - Excess rainfall series (inches per time step).\n"
    "* `basin_area` - Drainage area in acres.\n"
    "* `ct` - Lag coefficient (tp = Ct (L Lc)^0.3 hours).\n"
    "* `cp` - Peaking coefficient.\n"
    "* `stream_length` - Main stream length L to the divide (miles).\n"
    "* `centroid_length` - Length Lc along the stream to the point nearest the basin\n"
    "  centroid (miles).\n"
    "* `time_base` - \"triangle\" (tb = 1290 / qpR) or \"small_watershed\" (tb = 4 Tp).\n\n"
    "# Returns\n"
    "A `ContinuousTimeSeries` (kind=discharge, cfs) at the same time step as `rainfall`;\n"
    "value k is the flow at the end of step k."};

constexpr Parameters<7> kCalculateSnyderParametersParameters{
    "calculate_snyder_parameters()",
    {"basin_area", "ct", "cp", "stream_length", "centroid_length", "time_step", "time_base"},
    5,
    6};

PyObject* py_calculate_snyder_parameters(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                         PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        SnyderParameters parameters;
        std::optional<Timedelta> time_step;
        SnyderTimeBase time_base = SnyderTimeBase::triangle;
        if (!parse_call(kCalculateSnyderParametersParameters, args, nargs, kwnames,
                        parameters.basin_area, parameters.ct, parameters.cp,
                        parameters.stream_length, parameters.centroid_length, time_step,
                        time_base)) {
            return nullptr;
        }
        std::optional<double> duration_hours;
        if (time_step) {
            Duration step;
            if (!to_duration(*time_step, step)) return nullptr;
            duration_hours = step.as_seconds() / kSecondsPerHour;
        }
        auto made = snyder_hydrograph(parameters, duration_hours, time_base);
        if (!made) return raise(made.error());
        return new_instance(std::move(made).value()).release();
    });
}

PyMethodDef calculate_snyder_parameters_definition = {
    "calculate_snyder_parameters", as_method(py_calculate_snyder_parameters), kFastcallFlags,
    "calculate_snyder_parameters(basin_area, ct, cp, stream_length, centroid_length, "
    "time_step=None, *, time_base='triangle')\n--\n\n"
    "Calculates Snyder's synthetic unit hydrograph as its equations give it: the lags,\n"
    "the peak, the widths, the time base and the points of the sketch, before\n"
    "`run_snyder_uh` scales it to hold one inch.\n\n"
    "# Arguments\n"
    "* `basin_area` - Drainage area in acres.\n"
    "* `ct`, `cp`, `stream_length`, `centroid_length` - As for `run_snyder_uh` (miles).\n"
    "* `time_step` - The duration tR of the excess; None for the standard duration\n"
    "  tr = tp / 5.5 (then tpR = tp).\n"
    "* `time_base` - \"triangle\" (tb = 1290 / qpR) or \"small_watershed\" (tb = 4 Tp).\n\n"
    "# Returns\n"
    "A `SnyderParameters`: times in hours, discharges in cfs."};

}  // namespace

bool init_transform(PyObject* module) {
    return binding::add_function(module, &run_clark_uh_definition) &&
           binding::add_function(module, &run_scs_uh_definition) &&
           binding::add_function(module, &run_snyder_uh_definition) &&
           binding::add_function(module, &calculate_snyder_parameters_definition) &&
           binding::add_class<SnyderHydrograph>(module);
}

}  // namespace vesparil
