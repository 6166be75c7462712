// Basin.to_dict / Basin.from_dict / pickling: the model as plain dicts, lists, numbers and str,
// so that JSON or TOML files describe basins and process pools can ship them.
//
//   {"time_step": seconds, "elements": [{"name", "kind", "downstream" (str or None), ...}]}
//
// with, by kind, "area", "loss" (dict or None), "transform" and "baseflow" (dict of layers by
// name); "muskingum"; "level_pool" with its curve, its outlets by name (each with its "kind":
// "uncontrolled", "controlled", "specified" or "constant") and "initial_elevation". Durations are
// seconds (exact round trips), the fields are named as the classes' attributes.
#include "basin/basin_classes.hpp"
#include "basin/plain_fields.hpp"
#include "binding/parse.hpp"

namespace vesparil {

using namespace binding;

namespace {

Ref loss_plain(const DeficitAndConstantLoss& loss) {
    return plain_dict("initial_deficit", to_python(loss.initial_deficit), "maximum_deficit", to_python(loss.maximum_deficit), "constant_rate", to_python(loss.constant_rate), "recovery", to_python(loss.recovery_seconds));
}

Ref layer_plain(const LinearReservoir& layer) {
    return plain_dict("k_duration", to_python(static_cast<std::int64_t>(layer.k_seconds)), "gw_fraction", to_python(layer.gw_fraction), "initial_q", to_python(layer.initial_q), "num_reservoir", to_python(layer.num_reservoir));
}

Ref element_plain(const Element& element) {
    PlainItems items;
    items.emplace_back("name", to_python(element.name));
    items.emplace_back("kind", to_python(std::string(kind_word(element))));
    items.emplace_back("downstream", element.downstream.empty() ? Ref::borrow(Py_None)
                                                                : to_python(element.downstream));
    if (const auto* subbasin = std::get_if<Subbasin>(&element.method)) {
        items.emplace_back("area", to_python(subbasin->area));
        items.emplace_back("loss",
                           subbasin->loss ? loss_plain(*subbasin->loss) : Ref::borrow(Py_None));
        items.emplace_back(
            "transform",
            plain_dict("tc", to_python(subbasin->transform.tc_seconds), "storage", to_python(subbasin->transform.storage_seconds)));
        items.emplace_back("baseflow", to_python_dict(subbasin->baseflow, layer_plain));
    } else if (const auto* reach = std::get_if<Reach>(&element.method)) {
        const MuskingumRouting& routing = reach->routing;
        items.emplace_back("muskingum",
                           plain_dict("k", to_python(routing.k_seconds), "x", to_python(routing.x), "sub_reaches", to_python(routing.sub_reaches)));
    } else if (const auto* reservoir = std::get_if<Reservoir>(&element.method)) {
        const LevelPoolRouting& routing = reservoir->routing;
        items.emplace_back(
            "level_pool",
            plain_dict("elevation_storage", curve_plain(routing.elevation_storage.elevation,
                                                          "storage",
                                                          routing.elevation_storage.storage), "outlets", to_python_dict(routing.outlets, outlet_plain), "initial_elevation", to_python(routing.initial_elevation)));
    }
    return plain_dict_of(std::move(items));
}

Result<Element> element_from(PlainReader& reader) {
    Element element;
    std::string kind;
    std::optional<std::string> downstream;
    if (!reader.read("name", element.name) || !reader.read("kind", kind) ||
        !reader.read("downstream", downstream)) {
        return reader.error();
    }
    element.downstream = downstream.value_or("");
    reader.path = "element '" + element.name + "'";
    if (kind == "subbasin") {
        Subbasin subbasin;
        std::optional<PlainReader> loss;
        PlainReader transform;
        if (!reader.read("area", subbasin.area) || !reader.nested("loss", loss) ||
            !reader.nested("transform", transform)) {
            return reader.error();
        }
        if (loss) {
            DeficitAndConstantLoss& l = subbasin.loss.emplace();
            if (!loss->read("initial_deficit", l.initial_deficit) ||
                !loss->read("maximum_deficit", l.maximum_deficit) ||
                !loss->read("constant_rate", l.constant_rate) ||
                !loss->read("recovery", l.recovery_seconds)) {
                return loss->error();
            }
        }
        if (!transform.read("tc", subbasin.transform.tc_seconds) ||
            !transform.read("storage", subbasin.transform.storage_seconds)) {
            return transform.error();
        }
        auto layers = reader.layers("baseflow");
        if (!layers) return std::move(layers).error();
        subbasin.baseflow = std::move(layers).value();
        element.method = std::move(subbasin);
    } else if (kind == "reach") {
        PlainReader routing;
        Reach reach;
        if (!reader.nested("muskingum", routing) ||
            !routing.read("k", reach.routing.k_seconds) || !routing.read("x", reach.routing.x) ||
            !routing.read("sub_reaches", reach.routing.sub_reaches)) {
            return routing.failed() ? routing.error() : reader.error();
        }
        element.method = reach;
    } else if (kind == "reservoir") {
        auto routing = reader.level_pool("level_pool");
        if (!routing) return std::move(routing).error();
        element.method = Reservoir{std::move(routing).value()};
    } else if (kind == "junction") {
        element.method = Junction{};
    } else if (kind == "source") {
        element.method = Source{};
    } else {
        return Error::value(reader.path + ": unknown kind '" + kind + "'");
    }
    return element;
}

}  // namespace

PyObject* py_basin_to_dict(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                           PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        static constexpr Parameters<0> kNone{"Basin.to_dict()", {}, 0};
        if (!bind_arguments(kNone.signature(), args, nargs, kwnames, {})) return nullptr;
        BasinModel model;
        if (!copy_model(self, model)) return nullptr;
        Ref elements = Ref::steal(PyList_New(0));
        if (!elements) return nullptr;
        for (const Element& element : model.elements) {
            Ref plain = element_plain(element);
            if (!plain || PyList_Append(elements.get(), plain.get()) < 0) return nullptr;
        }
        return plain_dict("time_step", to_python(static_cast<std::int64_t>(model.time_step)), "elements", std::move(elements))
            .release();
    });
}

constexpr Parameters<1> kFromDictParameters{"Basin.from_dict()", {"plain"}, 1};

PyObject* py_basin_from_dict(PyObject* type, PyObject* const* args, Py_ssize_t nargs,
                             PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        std::array<PyObject*, 1> bound{};
        if (!bind_arguments(kFromDictParameters.signature(), args, nargs, kwnames, bound)) {
            return nullptr;
        }
        PlainReader reader{bound[0], "basin", {}};
        if (!reader.check_dict()) return nullptr;
        BasinModel model;
        std::int64_t step = 0;
        PyObject* elements = nullptr;
        if (!reader.read("time_step", step) || !reader.raw("elements", elements)) {
            return raise(reader.error());
        }
        auto seconds = time_step_from_seconds(static_cast<double>(step));
        if (!seconds) return raise(seconds.error());
        model.time_step = seconds.value();
        Ref items = Ref::steal(PySequence_Fast(elements, "basin: 'elements' must be a list"));
        if (!items) return nullptr;
        for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(items.get()); ++i) {
            PlainReader element_reader{PySequence_Fast_GET_ITEM(items.get(), i),
                                       "element " + std::to_string(i), {}};
            if (!element_reader.check_dict()) return nullptr;
            auto element = element_from(element_reader);
            if (!element) return raise(element.error());
            if (find_element(model, element->name) != kNoElement) {
                return raise(Error::value("element '" + element->name +
                                          "': the name is already taken by another element"));
            }
            model.elements.push_back(std::move(element).value());
        }
        return new_instance(reinterpret_cast<PyTypeObject*>(type), std::move(model)).release();
    });
}

PyObject* py_basin_reduce(PyObject* self, PyObject* const*, Py_ssize_t, PyObject*) {
    return guarded([&]() -> PyObject* {
        Ref plain = Ref::steal(py_basin_to_dict(self, nullptr, 0, nullptr));
        if (!plain) return nullptr;
        Ref from_dict = Ref::steal(
            PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(self)), "from_dict"));
        if (!from_dict) return nullptr;
        return Py_BuildValue("(O(O))", from_dict.get(), plain.get());
    });
}

}  // namespace vesparil
