// Python entries of the evapotranspiration submodule: calculate_extraterrestrial_radiation,
// calculate_pet_oudin, calculate_pet_hargreaves, calculate_pet_hamon.
#include <array>

#include "binding/entry.hpp"
#include "binding/float_vector.hpp"
#include "binding/module.hpp"
#include "binding/parse.hpp"
#include "binding/signals.hpp"
#include "binding/unlocked.hpp"
#include "evapotranspiration/potential.hpp"
#include "init.hpp"

namespace vesparil {

namespace {

using namespace binding;

// A day's trigonometry costs some 60 ns: the work counts days times 16.
constexpr std::uint64_t kDayWork = 16;

// Builds the list or raises.
PyObject* finish(Result<std::vector<double>>&& values) {
    if (!values) return raise(values.error());
    return to_python(*values).release();
}

constexpr Parameters<2> kRadiationParameters{
    "calculate_extraterrestrial_radiation()", {"latitude", "day_of_year"}, 2};

PyObject* py_calculate_extraterrestrial_radiation(PyObject*, PyObject* const* args,
                                                  Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        double latitude = 0.0;
        FloatSpan days;
        if (!parse_call(kRadiationParameters, args, nargs, kwnames, latitude, days)) {
            return nullptr;
        }
        return finish(run_unlocked(work_units(days.values().size(), kDayWork), [&] {
            return extraterrestrial_radiation(latitude, days.values(), python_signals());
        }));
    });
}

template <PetMethod Method>
PyObject* py_calculate_pet(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) {
    static constexpr Parameters<3> kParameters{
        Method == PetMethod::Oudin ? "calculate_pet_oudin()" : "calculate_pet_hamon()",
        {"temperature", "latitude", "day_of_year"},
        3};
    return guarded([&]() -> PyObject* {
        FloatSpan temperature;
        double latitude = 0.0;
        FloatSpan days;
        if (!parse_call(kParameters, args, nargs, kwnames, temperature, latitude, days)) {
            return nullptr;
        }
        return finish(run_unlocked(work_units(days.values().size(), kDayWork), [&] {
            return potential_evapotranspiration(Method, temperature.values(), latitude,
                                                days.values(), python_signals());
        }));
    });
}

constexpr Parameters<4> kHargreavesParameters{
    "calculate_pet_hargreaves()",
    {"temperature_min", "temperature_max", "latitude", "day_of_year"},
    4};

PyObject* py_calculate_pet_hargreaves(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                      PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        FloatSpan temperature_min;
        FloatSpan temperature_max;
        double latitude = 0.0;
        FloatSpan days;
        if (!parse_call(kHargreavesParameters, args, nargs, kwnames, temperature_min,
                        temperature_max, latitude, days)) {
            return nullptr;
        }
        return finish(run_unlocked(work_units(days.values().size(), kDayWork), [&] {
            return hargreaves_evapotranspiration(temperature_min.values(),
                                                 temperature_max.values(), latitude,
                                                 days.values(), python_signals());
        }));
    });
}

#define VESPARIL_PET_ARGUMENTS                                                        \
    "* `latitude` - Latitude in decimal degrees, north positive, in [-90, 90].\n"     \
    "* `day_of_year` - Day of the year of each value, 1 to 366.\n\n"                  \
    "# Errors\n"                                                                      \
    "Returns a `ValueError` for a latitude or day out of range, or series of\n"       \
    "different lengths."

PyMethodDef calculate_extraterrestrial_radiation_definition = {
    "calculate_extraterrestrial_radiation", as_method(py_calculate_extraterrestrial_radiation),
    kFastcallFlags,
    "calculate_extraterrestrial_radiation(latitude, day_of_year)\n--\n\n"
    "Extraterrestrial radiation Ra (MJ m-2 day-1) by FAO-56 (Allen et al. 1998), eq. 21-25.\n\n"
    "# Arguments\n" VESPARIL_PET_ARGUMENTS};

PyMethodDef calculate_pet_oudin_definition = {
    "calculate_pet_oudin", as_method(py_calculate_pet<PetMethod::Oudin>), kFastcallFlags,
    "calculate_pet_oudin(temperature, latitude, day_of_year)\n--\n\n"
    "Potential evapotranspiration (mm/day) of Oudin et al. (2005):\n"
    "PE = Ra / 2.45 * (T + 5) / 100, and 0 where T <= -5 deg C.\n\n"
    "# Arguments\n"
    "* `temperature` - Daily mean air temperature (deg C).\n" VESPARIL_PET_ARGUMENTS};

PyMethodDef calculate_pet_hargreaves_definition = {
    "calculate_pet_hargreaves", as_method(py_calculate_pet_hargreaves), kFastcallFlags,
    "calculate_pet_hargreaves(temperature_min, temperature_max, latitude, day_of_year)\n--\n\n"
    "Reference evapotranspiration (mm/day) of Hargreaves and Samani (1985), FAO-56 eq. 52:\n"
    "0.0023 (Tmean + 17.8) sqrt(Tmax - Tmin) 0.408 Ra, and 0 where that is negative.\n\n"
    "# Arguments\n"
    "* `temperature_min`, `temperature_max` - Daily extremes (deg C).\n"
    "* `latitude` - Latitude in decimal degrees, north positive, in [-90, 90].\n"
    "* `day_of_year` - Day of the year of each value, 1 to 366.\n\n"
    "# Errors\n"
    "Returns a `ValueError` for a latitude or day out of range, series of different\n"
    "lengths, or a maximum below its minimum."};

PyMethodDef calculate_pet_hamon_definition = {
    "calculate_pet_hamon", as_method(py_calculate_pet<PetMethod::Hamon>), kFastcallFlags,
    "calculate_pet_hamon(temperature, latitude, day_of_year)\n--\n\n"
    "Potential evapotranspiration (mm/day) of Hamon (1961): 25.4 * 0.0055 D^2 Pt, with D the\n"
    "daylight hours over 12 and Pt the saturated vapour density (g/m3) at T.\n\n"
    "# Arguments\n"
    "* `temperature` - Daily mean air temperature (deg C).\n" VESPARIL_PET_ARGUMENTS};

#undef VESPARIL_PET_ARGUMENTS

}  // namespace

bool init_evapotranspiration(PyObject* module) {
    return binding::add_function(module, &calculate_extraterrestrial_radiation_definition) &&
           binding::add_function(module, &calculate_pet_oudin_definition) &&
           binding::add_function(module, &calculate_pet_hargreaves_definition) &&
           binding::add_function(module, &calculate_pet_hamon_definition);
}

}  // namespace vesparil
