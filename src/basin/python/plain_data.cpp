// Basin.to_dict / Basin.from_dict / pickling: the model as plain dicts, lists, numbers and str,
// so that JSON or TOML files describe basins and process pools can ship them.
//
//   {"time_step": seconds, "elements": [{"name", "kind", "downstream" (str or None), ...}]}
//
// with, by kind, "area", "loss" (dict or None), "transform" and "baseflow" (dict of layers by
// name), "snow" (basin/python/plain_lumped.cpp) only when the sub-basin's front has a snow store, and
// "evapotranspiration" (the same file) only when the sub-basin has an evapotranspiration method;
// "muskingum"; "level_pool" with its curve, its outlets by name (each with its "kind":
// "uncontrolled", "controlled", "specified" or "constant") and "initial_elevation"; the event
// methods as basin/python/plain_methods.cpp writes them. Durations are seconds (exact round trips), the
// fields are named as the classes' attributes.
#include "basin/python/basin_classes.hpp"
#include "basin/python/plain_fields.hpp"
#include "binding/parse.hpp"

namespace vesparil {

using namespace binding;

namespace {

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
        items.emplace_back("transform", subbasin->continuous
                                            ? continuous_plain(*subbasin->continuous)
                                            : transform_plain(subbasin->transform));
        items.emplace_back("baseflow", to_python_dict(subbasin->baseflow, layer_plain));
        // Only a sub-basin with a front's snow store holds "snow": the others keep their layout.
        if (subbasin->snow) items.emplace_back("snow", snow_plain(subbasin->snow));
        if (subbasin->evapotranspiration) {
            items.emplace_back("evapotranspiration", pet_plain(*subbasin->evapotranspiration));
        }
    } else {
        routing_items(element, items);
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
            auto method = loss_from(*loss);
            if (!method) return std::move(method).error();
            subbasin.loss = std::move(method).value();
        }
        auto continuous = continuous_from(transform);
        if (!continuous) return std::move(continuous).error();
        subbasin.continuous = std::move(continuous).value();
        if (!subbasin.continuous) {
            auto method = transform_from(transform);
            if (!method) return std::move(method).error();
            subbasin.transform = std::move(method).value();
        }
        auto layers = reader.layers("baseflow");
        if (!layers) return std::move(layers).error();
        subbasin.baseflow = std::move(layers).value();
        if (PyDict_GetItemString(reader.dict, "snow") != nullptr) {
            auto snow = snow_from(reader, "snow");
            if (!snow) return std::move(snow).error();
            subbasin.snow = std::move(snow).value();
        }
        if (PyDict_GetItemString(reader.dict, "evapotranspiration") != nullptr) {
            auto pet = pet_from(reader, "evapotranspiration");
            if (!pet) return std::move(pet).error();
            subbasin.evapotranspiration = std::move(pet).value();
        }
        if (subbasin.continuous && (subbasin.loss || !subbasin.baseflow.empty())) {
            return Error::value(reader.path + ": a continuous model takes no loss or baseflow");
        }
        if (subbasin.continuous && subbasin.snow) {
            return Error::value(reader.path + ": a continuous model takes no snow store here");
        }
        element.method = std::move(subbasin);
    } else if (kind == "reach") {
        auto routing = reach_from(reader);
        if (!routing) return std::move(routing).error();
        element.method = Reach{std::move(routing).value()};
    } else if (kind == "reservoir") {
        auto routing = reservoir_from(reader);
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
        PlainReader reader{bound[0], "basin"};
        if (!reader.check_dict()) return nullptr;
        BasinModel model;
        std::int64_t step = 0;
        Ref elements;
        if (!reader.read("time_step", step) || !reader.raw("elements", elements)) {
            return raise(reader.error());
        }
        auto seconds = time_step_from_seconds(static_cast<double>(step));
        if (!seconds) return raise(seconds.error());
        model.time_step = seconds.value();
        Ref list = Ref::steal(PySequence_Fast(elements.get(), "basin: 'elements' must be a list"));
        // A snapshot: reading an element may run Python code that changes the list.
        Ref items = list ? Ref::steal(PySequence_Tuple(list.get())) : Ref{};
        if (!items) return nullptr;
        for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(items.get()); ++i) {
            PlainReader element_reader{PyTuple_GET_ITEM(items.get(), i),
                                       "element " + std::to_string(i)};
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
