// The continuous models of a sub-basin as plain data, in its "transform" slot (they stand for
// the whole runoff): {"method": "gr4j", "x1", "x2", "x3", "x4", "initial_production",
// "initial_routing", "snow": None, the DegreeDaySnow's arguments by name, or {"method":
// "cemaneige", the CemaNeige's arguments by name}} or {"method": "hbv",
// the fourteen parameters by name, "initial_soil_moisture", "initial_upper_zone",
// "initial_lower_zone"}, named as the classes' attributes; a sub-basin's evapotranspiration
// method as {"method": "oudin", "hargreaves" or "hamon", "latitude"}.
#include "basin/daily/pet_method.hpp"
#include "basin/python/method_descriptor.hpp"
#include "basin/python/plain_fields.hpp"

namespace vesparil {

using namespace binding;

namespace {

// HBV's parameters in the order of its struct and constructor.
struct SnowPlain {
    Ref operator()(const DegreeDaySnow& snow) const {
        return basin_classes::method_plain(snow, false);
    }
    Ref operator()(const CemaNeigeSnow& snow) const {
        const CemaNeigeParameters& p = snow.parameters;
        return plain_dict("method", to_python(std::string("cemaneige")), "kf", to_python(p.kf),
                          "ctg", to_python(p.ctg), "mean_annual_snowfall",
                          to_python(p.mean_annual_snowfall), "elevations",
                          to_python(snow.elevations), "median_elevation",
                          to_python(p.median_elevation), "temperature_gradient",
                          to_python(p.temperature_gradient), "precipitation_gradient",
                          to_python(p.precipitation_gradient));
    }
};

}  // namespace

Ref snow_plain(const std::optional<SnowMethod>& snow) {
    if (!snow) return Ref::borrow(Py_None);
    return std::visit(SnowPlain{}, *snow);
}

Result<std::optional<SnowMethod>> snow_from(PlainReader& reader, const char* key) {
    std::optional<PlainReader> snow;
    if (!reader.nested(key, snow)) return reader.error();
    if (!snow) return std::optional<SnowMethod>{};
    if (PyDict_GetItemString(snow->dict, "method") != nullptr) {
        std::string method;
        if (!snow->read("method", method)) return snow->error();
        if (method != "cemaneige") {
            return Error::value(snow->path + ": unknown snow method '" + method + "'");
        }
        CemaNeigeSnow m;
        CemaNeigeParameters& p = m.parameters;
        if (!snow->read("kf", p.kf) || !snow->read("ctg", p.ctg) ||
            !snow->read("mean_annual_snowfall", p.mean_annual_snowfall) ||
            !snow->read("elevations", m.elevations) ||
            !snow->read("median_elevation", p.median_elevation) ||
            !snow->read("temperature_gradient", p.temperature_gradient) ||
            !snow->read("precipitation_gradient", p.precipitation_gradient)) {
            return snow->error();
        }
        return std::optional<SnowMethod>{std::move(m)};
    }
    auto m = basin_classes::method_from<DegreeDaySnow>(*snow);
    if (!m) return std::move(m).error();
    return std::optional<SnowMethod>{std::move(m).value()};
}

namespace {

constexpr const char* kPetMethods[] = {"oudin", "hargreaves", "hamon"};

}  // namespace

Ref pet_plain(const EvapotranspirationMethod& method) {
    const double latitude = std::visit([](const auto& pet) { return pet.latitude; }, method);
    return plain_dict("method", to_python(std::string(kPetMethods[method.index()])), "latitude",
                      to_python(latitude));
}

Result<std::optional<EvapotranspirationMethod>> pet_from(PlainReader& reader, const char* key) {
    std::optional<PlainReader> pet;
    if (!reader.nested(key, pet)) return reader.error();
    if (!pet) return std::optional<EvapotranspirationMethod>{};
    std::string method;
    double latitude = 0.0;
    if (!pet->read("method", method) || !pet->read("latitude", latitude)) return pet->error();
    EvapotranspirationMethod made;
    if (method == kPetMethods[0]) {
        made = OudinPet{latitude};
    } else if (method == kPetMethods[1]) {
        made = HargreavesPet{latitude};
    } else if (method == kPetMethods[2]) {
        made = HamonPet{latitude};
    } else {
        return Error::value(pet->path + ": unknown evapotranspiration method '" + method + "'");
    }
    auto checked = check_pet_latitude(made);
    if (!checked) return Error::value(pet->path + ": " + checked.error().message);
    return std::optional<EvapotranspirationMethod>{made};
}

namespace {

struct ContinuousPlain {
    Ref operator()(const Gr4jRunoff& m) const {
        const Gr4jParameters& p = m.parameters;
        return plain_dict("method", to_python(std::string("gr4j")), "x1", to_python(p.x1), "x2",
                          to_python(p.x2), "x3", to_python(p.x3), "x4", to_python(p.x4),
                          "initial_production", to_python(m.initial_production),
                          "initial_routing", to_python(m.initial_routing), "snow",
                          snow_plain(m.snow));
    }
    Ref operator()(const HbvRunoff& m) const { return basin_classes::method_plain(m, true); }
};

}  // namespace

Ref continuous_plain(const ContinuousMethod& method) {
    return std::visit(ContinuousPlain{}, method);
}

Result<std::optional<ContinuousMethod>> continuous_from(PlainReader& reader) {
    if (PyDict_GetItemString(reader.dict, "method") == nullptr) {
        return std::optional<ContinuousMethod>{};
    }
    std::string method;
    if (!reader.read("method", method)) return reader.error();
    if (method == "gr4j") {
        Gr4jRunoff m;
        Gr4jParameters& p = m.parameters;
        if (!reader.read("x1", p.x1) || !reader.read("x2", p.x2) || !reader.read("x3", p.x3) ||
            !reader.read("x4", p.x4) || !reader.read("initial_production", m.initial_production) ||
            !reader.read("initial_routing", m.initial_routing)) {
            return reader.error();
        }
        auto snow = snow_from(reader, "snow");
        if (!snow) return std::move(snow).error();
        m.snow = std::move(snow).value();
        return std::optional<ContinuousMethod>{std::move(m)};
    }
    if (method == "hbv") {
        auto m = basin_classes::method_from<HbvRunoff>(reader);
        if (!m) return std::move(m).error();
        return std::optional<ContinuousMethod>{std::move(m).value()};
    }
    return std::optional<ContinuousMethod>{};
}

}  // namespace vesparil
