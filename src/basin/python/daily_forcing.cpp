// The daily forcing of a sub-basin run by a continuous model or through its daily front: a dict
// of named series, each into its slot of the basin's forcing. Which names it takes follows from
// the sub-basin's methods:
//   "precipitation"                         always (mm per step, mm/day for a daily model)
//   "evapotranspiration"                    unless an evapotranspiration method makes it
//   "temperature"                           for HBV, a snow store, Oudin and Hamon (deg C)
//   "temperature_min", "temperature_max"    for Hargreaves (deg C)
//   "day_of_year"                           for any evapotranspiration method (1 to 366)
#include "basin/python/basin_classes.hpp"
#include "basin/daily/pet_method.hpp"
#include "binding/containers.hpp"
#include "core/driving_series.hpp"

namespace vesparil {

using namespace binding;

namespace {

struct DailySeries {
    const char* name;
    std::vector<double>* slot;
    bool wanted;
    bool given = false;
};

bool model_needs_temperature(const Subbasin& subbasin) {
    if (!subbasin.continuous) return subbasin.snow.has_value();
    const auto* gr4j = std::get_if<Gr4jRunoff>(&*subbasin.continuous);
    return gr4j == nullptr || gr4j->snow.has_value();
}

const char* what_takes_a_dict(const Subbasin& subbasin) {
    if (subbasin.continuous) return "a continuous model's";
    if (subbasin.snow) return "a snow store's";
    return "an evapotranspiration method's";
}

}  // namespace

bool extract_daily_forcing(PyObject* value, const std::string& name, const Subbasin& subbasin,
                           std::size_t at, BasinForcing& out) {
    const std::string prefix = "forcing: '" + name + "': ";
    if (!PyDict_Check(value)) {
        raise(Error::type(prefix + what_takes_a_dict(subbasin) +
                          " forcing is a dict of named series"));
        return false;
    }
    const auto& pet = subbasin.evapotranspiration;
    const bool extremes = pet && std::holds_alternative<HargreavesPet>(*pet);
    DailySeries series[] = {
        {"precipitation", &out.inputs[at].data, true},
        {"evapotranspiration", &out.evapotranspiration[at], !pet},
        {"temperature", &out.temperature[at],
         model_needs_temperature(subbasin) || (pet && !extremes)},
        {"temperature_min", &out.temperature_min[at], extremes},
        {"temperature_max", &out.temperature_max[at], extremes},
        {"day_of_year", &out.day_of_year[at], pet.has_value()},
    };
    const bool ok = for_each_item(value, [&](PyObject* key, PyObject* item) {
        std::string series_name;
        if (!extract(key, series_name)) return false;
        for (DailySeries& wanted : series) {
            if (!wanted.wanted || series_name != wanted.name) continue;
            wanted.given = true;
            return extract(item, *wanted.slot);
        }
        if (pet && series_name == "evapotranspiration") {
            raise(Error::value(prefix + "its evapotranspiration is made by its " +
                               pet_method_name(*pet) + " method; give no 'evapotranspiration'"));
        } else {
            raise(Error::value(prefix + "unknown series '" + series_name + "'"));
        }
        return false;
    });
    if (!ok) return false;
    const std::size_t days = out.inputs[at].data.size();
    for (const DailySeries& wanted : series) {
        if (wanted.wanted && !wanted.given) {
            return raise(Error::value(prefix + "no " + wanted.name + " given")), false;
        }
    }
    for (const DailySeries& wanted : series) {
        if (wanted.wanted && wanted.slot->size() != days) {
            return raise(Error::value(prefix + "its series must have the same length")), false;
        }
    }
    // The values the models would take as numbers whatever they are (core/driving_series.hpp),
    // the extremes too: a NaN there makes a NaN PET, which the models would take as well.
    auto checked = check_drivers(out.inputs[at].data, out.temperature[at],
                                 out.evapotranspiration[at]);
    if (checked) checked = check_temperatures("temperature_min", out.temperature_min[at]);
    if (checked) checked = check_temperatures("temperature_max", out.temperature_max[at]);
    if (!checked) return raise(Error::value(prefix + checked.error().message)), false;
    out.front[at] = !subbasin.continuous;
    return true;
}

}  // namespace vesparil
