#include "basin/python/plain_fields.hpp"

#include "binding/errors.hpp"

namespace vesparil {

using namespace binding;

namespace {

Ref optional_plain(const std::optional<double>& value) { return to_python(value); }

Result<ElevationDischarge> rating_from(PlainReader& reader) {
    std::vector<double> elevation;
    std::vector<double> discharge;
    if (!reader.read("elevation", elevation) || !reader.read("discharge", discharge)) {
        return reader.error();
    }
    return make_elevation_discharge(std::move(elevation), std::move(discharge));
}

Result<DischargeInfo> outlet_from(PlainReader& reader) {
    std::string kind;
    std::optional<double> minimum;
    std::optional<double> maximum;
    std::optional<double> release;
    if (!reader.read("kind", kind)) return reader.error();
    if (kind == "uncontrolled" || kind == "controlled") {
        PlainReader curve;
        if (!reader.nested("elevation_discharge", curve)) return reader.error();
        auto rating = rating_from(curve);
        if (!rating) return std::move(rating).error();
        if (kind == "uncontrolled") {
            std::optional<double> offset;
            if (!reader.read("elevation_offset", offset)) return reader.error();
            return DischargeInfo{UnControlledDischargeInfo{std::move(rating).value(), offset}};
        }
        if (!reader.read("minimum_elevation", minimum) ||
            !reader.read("maximum_elevation", maximum) ||
            !reader.read("maximum_release", release)) {
            return reader.error();
        }
        auto outlet = make_controlled_discharge(std::move(rating).value(), minimum, maximum, release);
        if (!outlet) return std::move(outlet).error();
        return DischargeInfo{std::move(outlet).value()};
    }
    if (kind == "specified") {
        SpecifiedDischargeInfo outlet;
        std::int64_t step = 0;
        if (!reader.read("discharge", outlet.discharge.data) || !reader.read("time_step", step) ||
            !reader.read("minimum_elevation", outlet.minimum_elevation) ||
            !reader.read("maximum_elevation", outlet.maximum_elevation) ||
            !reader.read("maximum_release", outlet.maximum_release)) {
            return reader.error();
        }
        auto seconds = time_step_from_seconds(static_cast<double>(step));
        if (!seconds) return std::move(seconds).error();
        outlet.discharge.time_step = seconds.value();
        outlet.discharge.kind = std::string(kKindDischarge);
        return DischargeInfo{std::move(outlet)};
    }
    if (kind == "constant") {
        ConstantDischargeInfo outlet;
        if (!reader.read("discharge", outlet.discharge) ||
            !reader.read("minimum_elevation", outlet.minimum_elevation) ||
            !reader.read("maximum_elevation", outlet.maximum_elevation)) {
            return reader.error();
        }
        return DischargeInfo{outlet};
    }
    return Error::value(reader.path + ": unknown outlet kind '" + kind + "'");
}

}  // namespace

Ref plain_dict_of(PlainItems items) {
    Ref dict = Ref::steal(PyDict_New());
    if (!dict) return {};
    for (auto& [key, value] : items) {
        if (!value || PyDict_SetItemString(dict.get(), key, value.get()) < 0) return {};
    }
    return dict;
}

Ref curve_plain(const std::vector<double>& elevation, const char* second_name,
                const std::vector<double>& second) {
    return plain_dict("elevation", to_python(elevation), second_name, to_python(second));
}

Ref outlet_plain(const DischargeInfo& outlet) {
    const auto word = [](const char* kind) { return to_python(std::string(kind)); };
    if (const auto* o = std::get_if<UnControlledDischargeInfo>(&outlet)) {
        const ElevationDischarge& curve = o->elevation_discharge;
        return plain_dict("kind", word("uncontrolled"), "elevation_discharge",
                          curve_plain(curve.elevation, "discharge", curve.discharge),
                          "elevation_offset", optional_plain(o->elevation_offset));
    }
    if (const auto* o = std::get_if<ControlledDischargeInfo>(&outlet)) {
        const ElevationDischarge& curve = o->elevation_discharge;
        return plain_dict("kind", word("controlled"), "elevation_discharge",
                          curve_plain(curve.elevation, "discharge", curve.discharge),
                          "minimum_elevation", optional_plain(o->minimum_elevation),
                          "maximum_elevation", optional_plain(o->maximum_elevation),
                          "maximum_release", optional_plain(o->maximum_release));
    }
    if (const auto* o = std::get_if<SpecifiedDischargeInfo>(&outlet)) {
        return plain_dict("kind", word("specified"), "discharge", to_python(o->discharge.data),
                          "time_step",
                          to_python(static_cast<std::int64_t>(o->discharge.time_step)),
                          "minimum_elevation", optional_plain(o->minimum_elevation),
                          "maximum_elevation", optional_plain(o->maximum_elevation),
                          "maximum_release", optional_plain(o->maximum_release));
    }
    const auto& o = std::get<ConstantDischargeInfo>(outlet);
    return plain_dict("kind", word("constant"), "discharge", to_python(o.discharge),
                      "minimum_elevation", optional_plain(o.minimum_elevation),
                      "maximum_elevation", optional_plain(o.maximum_elevation));
}

bool PlainReader::check_dict() const {
    if (PyDict_Check(dict)) return true;
    raise_cast_error(dict, "dict");
    return false;
}

bool PlainReader::raw(const char* key, Ref& out) {
    out = Ref::borrow(PyDict_Check(dict) ? PyDict_GetItemString(dict, key) : nullptr);
    if (out) return true;
    failure = Error::value(path + ": missing '" + key + "'");
    return false;
}

bool PlainReader::absent(const char* key) const {
    return PyDict_Check(dict) && PyDict_GetItemString(dict, key) == nullptr;
}

bool PlainReader::take_python_error(const char* key) {
    PyObject* type = nullptr;
    PyObject* value = nullptr;
    PyObject* traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    const Ref held_type = Ref::steal(type);
    const Ref held_value = Ref::steal(value);
    const Ref held_traceback = Ref::steal(traceback);
    std::string message;
    Ref text = Ref::steal(value != nullptr ? PyObject_Str(value) : nullptr);
    if (!text || !extract(text.get(), message)) PyErr_Clear();
    failure = Error::type(path + ": '" + key + "': " + message);
    return false;
}

bool PlainReader::nested(const char* key, PlainReader& out) {
    Ref value;
    if (!raw(key, value)) return false;
    out = PlainReader{value.get(), path + "." + key};
    if (PyDict_Check(value.get())) return true;
    failure = Error::type(out.path + ": " + cast_error_message(value.get(), "dict"));
    return false;
}

bool PlainReader::nested(const char* key, std::optional<PlainReader>& out) {
    Ref value;
    if (absent(key)) {
        out.reset();
        return true;
    }
    if (!raw(key, value)) return false;
    if (value.get() == Py_None) {
        out.reset();
        return true;
    }
    return nested(key, out.emplace());
}

Result<std::vector<std::pair<std::string, LinearReservoir>>> PlainReader::layers(const char* key) {
    PlainReader all;
    if (!nested(key, all)) return error();
    std::vector<std::pair<std::string, LinearReservoir>> out;
    std::optional<Error> failed;
    const bool ok = for_each_item(all.dict, [&](PyObject* name_object, PyObject* value) {
        std::string name;
        if (!extract(name_object, name)) return false;
        PlainReader layer{value, all.path + "." + name};
        double k = 0.0;
        double fraction = 0.0;
        double initial = 0.0;
        std::size_t count = 1;
        if (!layer.check_dict()) return false;
        if (!layer.read("k_duration", k) || !layer.read("gw_fraction", fraction) ||
            !layer.read("initial_q", initial) || !layer.read("num_reservoir", count)) {
            failed = layer.error();
            return true;
        }
        auto made = make_linear_reservoir(k, fraction, initial, count);
        if (!made) {
            failed = std::move(made).error();
            return true;
        }
        if (!failed) out.emplace_back(std::move(name), made.value());
        return true;
    });
    if (!ok) return Error::type(all.path + ": not a dict of layers");
    if (failed) return *failed;
    return out;
}

Result<LevelPoolRouting> PlainReader::level_pool(const char* key) {
    PlainReader pool;
    PlainReader curve;
    if (!nested(key, pool)) return error();
    if (!pool.nested("elevation_storage", curve)) return pool.error();
    LevelPoolRouting routing;
    std::vector<double> elevation;
    std::vector<double> storage;
    if (!curve.read("elevation", elevation) || !curve.read("storage", storage)) {
        return curve.error();
    }
    auto made = make_elevation_storage(std::move(elevation), std::move(storage));
    if (!made) return std::move(made).error();
    routing.elevation_storage = std::move(made).value();
    if (!pool.read("initial_elevation", routing.initial_elevation)) return pool.error();
    PlainReader outlets;
    if (!pool.nested("outlets", outlets)) return pool.error();
    std::optional<Error> failed;
    for_each_item(outlets.dict, [&](PyObject* name_object, PyObject* value) {
        std::string name;
        if (failed || !extract(name_object, name)) {
            PyErr_Clear();
            failed = failed.value_or(Error::type(outlets.path + ": outlet names must be str"));
            return true;
        }
        PlainReader outlet{value, outlets.path + "." + name};
        if (!PyDict_Check(value)) {
            failed = Error::type(outlet.path + ": " + cast_error_message(value, "dict"));
            return true;
        }
        auto made_outlet = outlet_from(outlet);
        if (!made_outlet) {
            failed = std::move(made_outlet).error();
            return true;
        }
        routing.outlets.emplace_back(std::move(name), std::move(made_outlet).value());
        return true;
    });
    if (failed) return *failed;
    return routing;
}

}  // namespace vesparil
