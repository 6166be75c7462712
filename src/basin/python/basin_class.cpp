// The Basin class: construction, the add_* methods, the forcing and run.
#include "baseflow/baseflow_classes.hpp"
#include "basin/python/basin_classes.hpp"
#include "basin/run/run_work.hpp"
#include "basin/daily/pet_method.hpp"
#include "binding/attributes.hpp"
#include "binding/containers.hpp"
#include "binding/entry.hpp"
#include "binding/parse.hpp"
#include "binding/signals.hpp"
#include "binding/timedelta.hpp"
#include "binding/unlocked.hpp"
#include "utils/utils_classes.hpp"

namespace vesparil {

using namespace binding;

constexpr Parameters<1> kBasinParameters{"Basin.__new__()", {"time_step"}, 1};

PyObject* py_basin_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        Timedelta time_step;
        if (!parse_new(kBasinParameters, args, kwargs, time_step)) return nullptr;
        Duration step;
        if (!to_duration(time_step, step)) return nullptr;
        auto seconds = time_step_from_seconds(step.as_seconds());
        if (!seconds) return raise(seconds.error());
        return new_instance(type, BasinModel{seconds.value(), {}}).release();
    });
}

namespace {

// Appends an element under the instance's exclusive borrow; a taken name is refused at once.
PyObject* add_element(PyObject* self, Element element) {
    Instance<BasinModel>* instance = as_instance<BasinModel>(self);
    if (!instance->borrow.acquire_exclusive()) return nullptr;
    struct Release {
        BorrowFlag& flag;
        ~Release() { flag.release_exclusive(); }
    } release{instance->borrow};
    if (find_element(instance->record, element.name) != kNoElement) {
        return raise(Error::value(std::string(kind_word(element)) + " '" + element.name +
                                  "': the name is already taken by another element"));
    }
    instance->record.elements.push_back(std::move(element));
    Py_RETURN_NONE;
}

// A transform goes in its slot; a continuous model replaces loss, transform and baseflow.
bool set_runoff(const std::string& name, SubbasinRunoff runoff, Subbasin& subbasin) {
    if (runoff.index() < std::variant_size_v<TransformMethod>) {
        std::visit([&](auto& method) {
            if constexpr (requires { TransformMethod{std::move(method)}; }) {
                subbasin.transform = std::move(method);
            }
        }, runoff);
        return true;
    }
    if (subbasin.loss || !subbasin.baseflow.empty()) {
        raise(Error::value("subbasin '" + name + "': a continuous model (GR4J, HBV) makes the "
                           "whole runoff; give loss=None and no baseflow"));
        return false;
    }
    if (subbasin.snow) {
        raise(Error::value("subbasin '" + name + "': a continuous model takes no snow store "
                           "here; give GR4J its own (GR4J(..., snow=...)) and snow=None"));
        return false;
    }
    if (auto* gr4j = std::get_if<Gr4jRunoff>(&runoff)) subbasin.continuous = *gr4j;
    if (auto* hbv = std::get_if<HbvRunoff>(&runoff)) subbasin.continuous = *hbv;
    return true;
}

constexpr Parameters<8> kAddSubbasinParameters{
    "Basin.add_subbasin()",
    {"name", "area", "loss", "transform", "baseflow", "downstream", "snow", "evapotranspiration"},
    4};

PyObject* py_basin_add_subbasin(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        Element element;
        Subbasin subbasin;
        SubbasinRunoff runoff;
        // None, as the signature shows, is no layer at all, like an empty dict.
        std::optional<decltype(subbasin.baseflow)> baseflow;
        std::optional<std::string> downstream;
        if (!parse_call(kAddSubbasinParameters, args, nargs, kwnames, element.name, subbasin.area,
                        subbasin.loss, runoff, baseflow, downstream, subbasin.snow,
                        subbasin.evapotranspiration)) {
            return nullptr;
        }
        if (baseflow) subbasin.baseflow = std::move(*baseflow);
        if (!set_runoff(element.name, std::move(runoff), subbasin)) return nullptr;
        element.downstream = downstream.value_or("");
        element.method = std::move(subbasin);
        return add_element(self, std::move(element));
    });
}

template <class Kind, class Routing, const Parameters<3>& Names>
PyObject* add_routing(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                      PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        Element element;
        Routing routing{};
        std::optional<std::string> downstream;
        if (!parse_call(Names, args, nargs, kwnames, element.name, routing, downstream)) {
            return nullptr;
        }
        element.downstream = downstream.value_or("");
        element.method = Kind{std::move(routing)};
        return add_element(self, std::move(element));
    });
}

template <class Kind, const Parameters<2>& Names>
PyObject* add_plain(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        Element element;
        std::optional<std::string> downstream;
        if (!parse_call(Names, args, nargs, kwnames, element.name, downstream)) return nullptr;
        element.downstream = downstream.value_or("");
        element.method = Kind{};
        return add_element(self, std::move(element));
    });
}

constexpr Parameters<3> kAddReachParameters{
    "Basin.add_reach()", {"name", "routing", "downstream"}, 2};
constexpr Parameters<3> kAddReservoirParameters{
    "Basin.add_reservoir()", {"name", "routing", "downstream"}, 2};
constexpr Parameters<2> kAddJunctionParameters{"Basin.add_junction()", {"name", "downstream"}, 1};
constexpr Parameters<2> kAddSourceParameters{"Basin.add_source()", {"name", "downstream"}, 1};

constexpr Parameters<1> kRunParameters{"Basin.run()", {"forcing"}, 1};

PyObject* py_basin_run(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        PyObject* forcing_object = nullptr;
        if (!bind_arguments(kRunParameters.signature(), args, nargs, kwnames,
                            std::span<PyObject*>(&forcing_object, 1))) {
            return nullptr;
        }
        BasinModel model;
        if (!copy_model(self, model)) return nullptr;
        BasinForcing forcing;
        if (!extract_forcing(forcing_object, model, forcing)) return nullptr;
        auto network = build_network(model);
        if (!network) return raise(network.error());
        BasinRunResult result{model.time_step, {}, {}, {}, {}};
        const std::uint64_t steps = work_units(forcing.steps, step_work(model));
        const std::uint64_t setup = setup_work(model);
        const std::uint64_t work = steps > UINT64_MAX - setup ? UINT64_MAX : steps + setup;
        auto ran = run_unlocked(work, [&] {
            auto made = make_evapotranspiration(model, forcing, python_signals());
            if (!made) return made;
            return run_elements(model, network.value(), forcing, {}, result.outflows,
                                python_signals(), &result.details);
        });
        if (!ran) return raise(ran.error());
        result.summaries =
            summarize(model, network.value(), forcing, result.outflows, &result.details);
        for (const Element& element : model.elements) result.names.push_back(element.name);
        return new_instance(std::move(result)).release();
    });
}

}  // namespace

bool copy_model(PyObject* self, BasinModel& out) {
    return with_shared<BasinModel>(self, [&](const BasinModel& model) {
        out = model;
        return true;
    });
}

// A dict {element name: series}: an IncrementalTimeSeries (rainfall of a sub-basin), a
// ContinuousTimeSeries (flows of a source) or a sequence of floats, each on the basin's step.
bool extract_forcing(PyObject* object, const BasinModel& model, BasinForcing& out) {
    if (!PyDict_Check(object)) {
        raise_cast_error(object, "dict");
        wrap_argument_error("forcing");
        return false;
    }
    out.inputs.assign(model.elements.size(), IncrementalTimeSeries{{}, "rainfall", model.time_step});
    out.evapotranspiration.assign(model.elements.size(), {});
    out.temperature.assign(model.elements.size(), {});
    out.front.assign(model.elements.size(), false);
    for (auto* slots : {&out.day_of_year, &out.temperature_min, &out.temperature_max}) {
        slots->assign(model.elements.size(), {});
    }
    const bool ok = for_each_item(object, [&](PyObject* key, PyObject* value) {
        std::string name;
        if (!extract(key, name)) return false;
        const std::size_t at = find_element(model, name);
        if (at == kNoElement || !(std::holds_alternative<Subbasin>(model.elements[at].method) ||
                                  std::holds_alternative<Source>(model.elements[at].method))) {
            raise(Error::value("forcing: '" + name + "' is not a subbasin or source of the basin"));
            return false;
        }
        IncrementalTimeSeries& series = out.inputs[at];
        std::int32_t step = model.time_step;
        const auto* subbasin = std::get_if<Subbasin>(&model.elements[at].method);
        if (subbasin != nullptr && (subbasin->continuous || subbasin->snow ||
                                    subbasin->evapotranspiration || PyDict_Check(value))) {
            // A continuous model's forcing, or an event sub-basin's daily front's.
            if (!extract_daily_forcing(value, name, *subbasin, at, out)) return false;
        } else if (is_instance<IncrementalTimeSeries>(value)) {
            if (!extract_instance(value, series)) return false;
            step = series.time_step;
        } else if (is_instance<ContinuousTimeSeries>(value)) {
            ContinuousTimeSeries flows;
            if (!extract_instance(value, flows)) return false;
            series.data = std::move(flows.data);
            step = flows.time_step;
        } else if (!extract(value, series.data)) {
            return false;
        }
        if (step != model.time_step) {
            raise(Error::value("forcing: the series of '" + name + "' has a time step of " +
                               std::to_string(step) + " s; the basin's is " +
                               std::to_string(model.time_step) + " s"));
            return false;
        }
        series.time_step = model.time_step;
        if (out.steps == 0) out.steps = series.data.size();
        return true;
    });
    if (!ok) return false;
    auto checked = check_forcing(model, out);
    if (!checked) return raise(checked.error()), false;
    return true;
}

PyMethodDef basin_methods[] = {
    {"add_subbasin", as_method(py_basin_add_subbasin), kFastcallFlags,
     "add_subbasin($self, name, area, loss, transform, baseflow=None, downstream=None, "
     "snow=None, evapotranspiration=None)\n--\n\n"
     "Adds a sub-basin of `area` acres: `loss` (DeficitAndConstant, CurveNumber, GreenAmpt\n"
     "or None), `transform` (Clark, ScsUnitHydrograph or Snyder), `baseflow` (a dict of\n"
     "baseflow.LinearReservoir fed by the loss). A continuous model (GR4J or HBV) given as\n"
     "`transform`, with loss None and no baseflow, makes the whole runoff from daily forcing.\n"
     "An event sub-basin may take a dict of \"precipitation\" and \"evapotranspiration\" (mm\n"
     "per step) as its forcing, behind a `snow` store (DegreeDaySnow or CemaNeige, daily,\n"
     "with \"temperature\") when given: its loss receives max(0, liquid - ET) / 25.4 inches.\n"
     "Either may make its evapotranspiration by `evapotranspiration` (Oudin, Hargreaves or\n"
     "Hamon, daily) from \"day_of_year\" and \"temperature\" (Hargreaves: \"temperature_min\"\n"
     "and \"temperature_max\") in place of an \"evapotranspiration\" series."},
    {"add_reach",
     as_method(add_routing<Reach, ReachMethod, kAddReachParameters>), kFastcallFlags,
     "add_reach($self, name, routing, downstream=None)\n--\n\nAdds a reach routed by `routing` "
     "(Muskingum or MuskingumCunge)."},
    {"add_reservoir",
     as_method(add_routing<Reservoir, ReservoirMethod, kAddReservoirParameters>),
     kFastcallFlags,
     "add_reservoir($self, name, routing, downstream=None)\n--\n\nAdds a reservoir routed by "
     "`routing` (LevelPool or StorageIndication)."},
    {"add_junction", as_method(add_plain<Junction, kAddJunctionParameters>), kFastcallFlags,
     "add_junction($self, name, downstream=None)\n--\n\nAdds a junction: the sum of its inflows."},
    {"add_source", as_method(add_plain<Source, kAddSourceParameters>), kFastcallFlags,
     "add_source($self, name, downstream=None)\n--\n\nAdds a source whose flows come with the "
     "forcing."},
    {"run", as_method(py_basin_run), kFastcallFlags,
     "run($self, forcing)\n--\n\nRuns the basin once. `forcing` maps every sub-basin to its rainfall\n"
     "and every source to its flows (series or float sequences, one value per step); a\n"
     "continuous or daily-front sub-basin to a dict of named series in mm."},
    {"run_batch", as_method(py_basin_run_batch), kFastcallFlags, kRunBatchDoc},
    {"with_parameters", as_method(py_basin_with_parameters), kFastcallFlags,
     "with_parameters($self, values, columns)\n--\n\nA copy of the basin with the parameters named by "
     "`columns` set to `values`\n(the columns of run_batch)."},
    {"to_dict", as_method(py_basin_to_dict), kFastcallFlags,
     "to_dict($self)\n--\n\nThe basin as plain dicts, lists, numbers and strings."},
    {"from_dict", as_method(py_basin_from_dict), kFastcallFlags | METH_CLASS,
     "from_dict($type, plain)\n--\n\nA basin from the plain data of to_dict."},
    {"__reduce__", as_method(py_basin_reduce), kFastcallFlags, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace vesparil
