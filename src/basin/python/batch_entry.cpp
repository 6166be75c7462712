// Basin.run_batch and Basin.with_parameters: many parameter sets in one call, and one of them as
// a basin of its own.
#include "basin/python/basin_classes.hpp"
#include "basin/batch/batch.hpp"
#include "basin/run/element_flow.hpp"
#include "basin/daily/pet_method.hpp"
#include "binding/float_matrix.hpp"
#include "binding/float_vector.hpp"
#include "binding/parse.hpp"
#include "binding/signals.hpp"
#include "binding/unlocked.hpp"

namespace vesparil {

using namespace binding;

namespace {

// A list or tuple of str, in order.
bool extract_names(PyObject* object, std::vector<std::string>& out) {
    if (PyUnicode_Check(object) || !(PyList_Check(object) || PyTuple_Check(object))) {
        raise_cast_error(object, "list");
        wrap_argument_error("columns");
        return false;
    }
    Ref items = Ref::steal(PySequence_Tuple(object));
    if (!items) return false;
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(items.get()); ++i) {
        std::string name;
        if (!extract(PyTuple_GET_ITEM(items.get(), i), name)) {
            wrap_argument_error("columns");
            return false;
        }
        out.push_back(std::move(name));
    }
    return true;
}

bool parse_columns(const BasinModel& model, const std::vector<std::string>& names,
                   std::vector<ParameterColumn>& out) {
    for (const std::string& name : names) {
        auto column = parse_column(model, name);
        if (!column) return raise(column.error()), false;
        // Two columns setting one value would leave only the last one in force.
        for (const ParameterColumn& earlier : out) {
            if (earlier.element != column->element || earlier.field != column->field ||
                earlier.layer != column->layer || earlier.set != column->set) {
                continue;
            }
            const std::string also = earlier.name == name ? "" : " (as '" + earlier.name + "')";
            return raise(Error::value("column '" + name + "' is given twice" + also)), false;
        }
        out.push_back(std::move(column).value());
    }
    return true;
}

// The batch's outflow rows as a NumPy array when NumPy can be imported, else as a memoryview of
// the same bytes with the shape (members, steps).
Ref outflow_array(Ref bytes, std::size_t members, std::size_t steps) {
    Ref numpy = Ref::steal(PyImport_ImportModule("numpy"));
    if (numpy) {
        Ref flat = Ref::steal(PyObject_CallMethod(numpy.get(), "frombuffer", "Os", bytes.get(),
                                                  "float64"));
        if (!flat) return {};
        return Ref::steal(PyObject_CallMethod(flat.get(), "reshape", "nn",
                                              static_cast<Py_ssize_t>(members),
                                              static_cast<Py_ssize_t>(steps)));
    }
    if (!PyErr_ExceptionMatches(PyExc_ImportError)) return {};
    PyErr_Clear();
    Ref view = Ref::steal(PyMemoryView_FromObject(bytes.get()));
    if (!view) return {};
    return Ref::steal(PyObject_CallMethod(view.get(), "cast", "s(nn)", "d",
                                          static_cast<Py_ssize_t>(members),
                                          static_cast<Py_ssize_t>(steps)));
}

constexpr Parameters<10> kRunBatchParameters{
    "Basin.run_batch()",
    {"parameters", "columns", "forcing", "observed", "at", "metric", "threads", "outflows",
     "missing", "warmup"},
    4};

}  // namespace

const char* const kRunBatchDoc =
    "run_batch($self, parameters, columns, forcing, observed, at=None, metric='kge', "
    "threads=None, outflows=False, missing=None, warmup=0)\n--\n\n"
    "Runs the basin once per row of `parameters` (an N x P C-contiguous float64 array, read\n"
    "in place), the values named by `columns` (\"element.method.parameter\", durations in\n"
    "hours), and scores each run's outflow at `at` (default: the outlet) against `observed`\n"
    "with `metric` ('kge' or 'nse'), leaving out the first `warmup` steps, a NaN on either\n"
    "side handled by `missing` ('propagate', 'omit' or 'raise', as calculate_nse; None,\n"
    "the default: a NaN in `observed` is refused, a member's NaN scores NaN). Runs\n"
    "without the interpreter lock on `threads` native threads (None: every core); each\n"
    "member has the bits of `run` with its values.\n\n"
    "# Returns\n"
    "A list of N scores; with `outflows=True` the pair (scores, N x T float64 array).";

PyObject* py_basin_run_batch(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                             PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        FloatMatrix parameters;
        PyObject* columns_object = nullptr;
        PyObject* forcing_object = nullptr;
        FloatSpan observed;
        std::optional<std::string> at;
        std::string metric = "kge";
        std::optional<std::int64_t> threads;
        bool keep_outflows = false;
        std::optional<std::string> missing;
        std::int64_t warmup = 0;
        std::array<PyObject*, 10> bound{};
        if (!bind_arguments(kRunBatchParameters.signature(), args, nargs, kwnames, bound)) {
            return nullptr;
        }
        columns_object = bound[1];
        forcing_object = bound[2];
        if (!argument("parameters", bound[0], parameters) ||
            !argument("observed", bound[3], observed) || !argument("at", bound[4], at) ||
            !argument("metric", bound[5], metric) || !argument("threads", bound[6], threads) ||
            !argument("outflows", bound[7], keep_outflows) ||
            !argument("missing", bound[8], missing) || !argument("warmup", bound[9], warmup)) {
            return nullptr;
        }
        BasinModel model;
        if (!copy_model(self, model)) return nullptr;
        std::vector<std::string> names;
        if (!extract_names(columns_object, names)) return nullptr;
        BasinForcing forcing;
        if (!extract_forcing(forcing_object, model, forcing)) return nullptr;
        auto network = build_network(model);
        if (!network) return raise(network.error());

        BatchRequest request;
        if (!parse_columns(model, names, request.columns)) return nullptr;
        if (parameters.columns() != names.size()) {
            return raise(Error::value("parameters has " +
                                      std::to_string(parameters.columns()) +
                                      " columns; columns names " +
                                      std::to_string(names.size())));
        }
        request.parameters = parameters.values();
        request.observed = observed.values();
        if (request.observed.size() != forcing.steps) {
            return raise(Error::value("observed has " + std::to_string(request.observed.size()) +
                                      " values; the forcing has " +
                                      std::to_string(forcing.steps)));
        }
        request.at = at ? find_element(model, *at) : network->outlet;
        if (request.at == kNoElement) {
            return raise(Error::value("at: '" + *at + "' is not an element of the basin"));
        }
        if (metric == "nse") {
            request.scoring.score = BatchScore::nse;
        } else if (metric != "kge") {
            return raise(Error::value("metric must be one of [\"kge\", \"nse\"]; got '" + metric +
                                      "'"));
        }
        auto rule = missing_rule(missing.value_or("propagate"));
        if (!rule) return raise(rule.error());
        request.scoring.missing = rule.value();
        const auto steps = static_cast<std::int64_t>(forcing.steps);
        if (warmup < 0 || warmup >= steps) {
            return raise(Error::value("warmup must be between 0 and " + std::to_string(steps - 1) +
                                      " (the forcing has " + std::to_string(steps) +
                                      " values); got " + std::to_string(warmup)));
        }
        request.scoring.warmup = static_cast<std::size_t>(warmup);
        // Without a rule a gap in the record is refused: it would make every score NaN, and
        // a NaN score is what an optimiser then ranks. A member's own NaN still scores NaN.
        BatchScoring strict = request.scoring;
        if (!missing) strict.missing = MissingRule::raise;
        auto complete = check_observed(strict, request.observed);
        if (!complete) {
            if (missing) return raise(complete.error());
            return raise(Error::value(complete.error().message +
                                      "; pass missing='omit' to score the other steps, or "
                                      "missing='propagate' for a NaN score"));
        }
        if (threads && (*threads < 1 || *threads > 1024)) {
            return raise(Error::value("threads must be between 1 and 1024"));
        }
        request.threads = threads ? static_cast<unsigned>(*threads) : 0;
        if (names.empty() && parameters.rows() > 0) {
            return raise(Error::value("columns names no parameter"));
        }
        auto checked = check_values(request);
        if (!checked) return raise(checked.error());

        const std::size_t members = parameters.rows();
        Ref rows;
        if (keep_outflows) {
            const std::uint64_t values = work_units(members, forcing.steps);
            if (values > static_cast<std::uint64_t>(PY_SSIZE_T_MAX) / sizeof(double)) {
                return PyErr_NoMemory();
            }
            rows = Ref::steal(PyByteArray_FromStringAndSize(
                nullptr, static_cast<Py_ssize_t>(values * sizeof(double))));
            if (!rows) return nullptr;
            request.outflow_rows = {reinterpret_cast<double*>(PyByteArray_AS_STRING(rows.get())),
                                    members * forcing.steps};
        }
        // A sub-basin's evapotranspiration made from temperature is the same for every member:
        // made once, here, and read by all of them.
        auto result = run_unlocked(kUnlockedWork, [&]() -> Result<BatchResult> {
            auto made = make_evapotranspiration(model, forcing, python_signals());
            if (!made) return std::move(made).error();
            return run_batch(model, network.value(), forcing, request, python_signals());
        });
        if (!result) return raise(result.error());
        Ref scores = to_python(result->scores);
        if (!scores || !keep_outflows) return scores.release();
        Ref array = outflow_array(std::move(rows), members, forcing.steps);
        if (!array) return nullptr;
        return PyTuple_Pack(2, scores.get(), array.get());
    });
}

constexpr Parameters<2> kWithParametersParameters{
    "Basin.with_parameters()", {"values", "columns"}, 2};

PyObject* py_basin_with_parameters(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                   PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        std::vector<double> values;
        std::array<PyObject*, 2> bound{};
        if (!bind_arguments(kWithParametersParameters.signature(), args, nargs, kwnames, bound) ||
            !argument("values", bound[0], values)) {
            return nullptr;
        }
        BasinModel model;
        if (!copy_model(self, model)) return nullptr;
        std::vector<std::string> names;
        if (!extract_names(bound[1], names)) return nullptr;
        std::vector<ParameterColumn> columns;
        if (!parse_columns(model, names, columns)) return nullptr;
        if (values.size() != columns.size()) {
            return raise(Error::value("values has " + std::to_string(values.size()) +
                                      " items; columns names " + std::to_string(columns.size())));
        }
        BatchRequest request;
        request.columns = columns;
        request.parameters = values;
        auto checked = check_values(request);
        for (std::size_t c = 0; checked && c < columns.size(); ++c) {
            apply_parameter(model, columns[c], values[c]);
        }
        if (checked) checked = check_member(model, request, 0);
        if (!checked) return raise(checked.error());
        return new_instance(Py_TYPE(self), std::move(model)).release();
    });
}

}  // namespace vesparil
