// Python entries of the metrics submodule: calculate_kge here, the other scores in
// metrics/init_scores.cpp.
#include <array>

#include "binding/entry.hpp"
#include "binding/float_vector.hpp"
#include "binding/module.hpp"
#include "binding/parse.hpp"
#include "binding/unlocked.hpp"
#include "init.hpp"
#include "metrics/kge.hpp"
#include "metrics/metrics_classes.hpp"

namespace vesparil {

namespace {

using namespace binding;

constexpr Parameters<3> kCalculateKgeParameters{"calculate_kge()", {"sim", "obs", "use_log"}, 2};

PyObject* py_calculate_kge(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        // Only read: contiguous float64 arrays are used in place rather than copied.
        FloatSpan sim;
        FloatSpan obs;
        bool use_log = false;
        if (!parse_call(kCalculateKgeParameters, args, nargs, kwnames, sim, obs, use_log))
            return nullptr;
        // The views stay valid without the lock: each buffer export pins its array.
        auto kge = run_unlocked(obs.values().size(),
                                [&] { return calculate_kge(sim.values(), obs.values(), use_log); });
        if (!kge) return raise(kge.error());
        return to_python(*kge).release();
    });
}

PyMethodDef calculate_kge_definition = {
    "calculate_kge", as_method(py_calculate_kge), kFastcallFlags,
    "calculate_kge(sim, obs, use_log=False)\n--\n\n"
    "Calculates the Kling-Gupta Efficiency (KGE) between simulated and observed series.\n\n"
    "The KGE combines three components:\n"
    "* **r** (Pearson correlation) — timing and shape agreement.\n"
    "* **β = mean_sim / mean_obs** — bias ratio.\n"
    "* **γ = std_sim / std_obs** — variability ratio.\n\n"
    "KGE = 1 - sqrt((r-1)² + (β-1)² + (γ-1)²)\n\n"
    "A KGE of 1 indicates a perfect match. Values above 0 are generally\n"
    "considered acceptable.\n\n"
    "# Arguments\n"
    "* `sim` - Simulated values.\n"
    "* `obs` - Observed values (same length as `sim`).\n"
    "* `use_log` - If true, both series are transformed with ln(x + ε) before\n"
    "  computing statistics, which shifts the weight of the score towards low flows.\n\n"
    "# Errors\n"
    "Returns a `ValueError` if `obs` is empty or if the two series differ in length."};

}  // namespace

bool init_metrics(PyObject* module) {
    return binding::add_function(module, &calculate_kge_definition) && init_scores(module);
}

}  // namespace vesparil
