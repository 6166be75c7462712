// Python entries of the scores beside calculate_kge: calculate_nse, calculate_kge_components,
// calculate_pbias, calculate_rmse, calculate_mae, calculate_pearson_r.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "binding/entry.hpp"
#include "binding/float_output.hpp"
#include "binding/float_rows.hpp"
#include "binding/module.hpp"
#include "binding/parse.hpp"
#include "binding/unlocked.hpp"
#include "core/format.hpp"
#include "metrics/metrics_classes.hpp"
#include "metrics/paired_scores.hpp"

namespace vesparil {

namespace {

using namespace binding;

// Addresses compared as integers: the two spans may belong to unrelated objects.
bool overlaps(std::span<const double> read, std::span<double> written) {
    const auto read_first = reinterpret_cast<std::uintptr_t>(read.data());
    const auto written_first = reinterpret_cast<std::uintptr_t>(written.data());
    return !read.empty() && !written.empty() &&
           read_first < written_first + written.size_bytes() &&
           written_first < read_first + read.size_bytes();
}

// `out` (given) must take the scores of every member (`width` numbers each) and share no memory
// with what is read.
Result<void> check_output(const FloatRows& sim, const FloatSpan& obs, const FloatOutput& out,
                          std::size_t width) {
    if (!sim.two_dimensional()) {
        return Error::value("`out` is only for a two-dimensional `sim`");
    }
    const std::span<double> written = out.values();
    if (written.size() != sim.rows().size() * width) {
        const std::string per_member =
            width == 1 ? "one element per member"
                       : "four elements per member (kge, r, variability, bias)";
        return Error::value("`out` must have " + per_member + " of `sim` (" +
                            std::to_string(sim.rows().size() * width) + ", not " +
                            std::to_string(written.size()) + ")");
    }
    bool shared = overlaps(obs.values(), written);
    for (const auto row : sim.rows()) shared = shared || overlaps(row, written);
    if (shared) return Error::value("`out` must not share memory with `sim` or `obs`");
    return {};
}

// The most frequent call, `sim` and `obs` alone and by position, is converted without binding
// the other parameters, which keep their defaults; the conversions and their errors are those of
// parse_call.
enum class Shortcut { not_taken, done, failed };

Shortcut series_only(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, FloatRows& sim,
                     FloatSpan& obs) {
    if (kwnames != nullptr || nargs != 2) return Shortcut::not_taken;
    if (!argument("sim", args[0], sim) || !argument("obs", args[1], obs)) return Shortcut::failed;
    return Shortcut::done;
}

Ref components_object(const double* values) {
    return new_kge_components(KgeComponents{values[0], values[1], values[2], values[3]});
}

// Scores every row of `sim` (one for a single series) and builds the result: a float or a
// KgeComponents for one series; for an ensemble, a list of them, or `out` filled in place.
PyObject* score_call(ScoreKind kind, const ScoreOptions& options, MissingRule missing,
                     const FloatRows& sim, const FloatSpan& obs, const FloatOutput& out) {
    if (out.given()) {
        if (auto fits = check_output(sim, obs, out, score_width(kind)); !fits) {
            return raise(fits.error());
        }
    } else if (!sim.two_dimensional() && missing == MissingRule::propagate) {
        std::array<double, 4> scores;
        const auto done = run_unlocked(obs.values().size(), [&] {
            return score_series(kind, options, sim.rows()[0], obs.values(), scores.data());
        });
        if (!done) return raise(done.error());
        if (score_width(kind) == 1) return to_python(scores[0]).release();
        return components_object(scores.data()).release();
    }
    const ScoreRequest request{kind, options, missing, sim.two_dimensional()};
    const auto members = sim.rows();
    const std::size_t width = score_width(kind);
    std::array<double, 4> single{};
    std::vector<double> scores;
    std::span<double> into(single.data(), width);
    if (out.given()) into = out.values();
    if (sim.two_dimensional() && !out.given()) {
        scores.resize(members.size() * width);
        into = scores;
    }
    // Rows and observations are plain spans over buffers pinned by their exports, or owned copies.
    const auto done = run_unlocked(work_units(members.size(), obs.values().size()), [&] {
        return score_members(request, members, obs.values(), into, python_signals());
    });
    if (!done) return raise(done.error());

    if (!sim.two_dimensional()) {
        if (width == 1) return to_python(single[0]).release();
        return components_object(single.data()).release();
    }
    if (out.given()) return out.object().release();
    if (width == 1) return to_python(scores).release();
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(members.size())));
    if (!list) return nullptr;
    for (std::size_t k = 0; k < members.size(); ++k) {
        Ref item = components_object(scores.data() + k * width);
        if (!item) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(k), item.release());
    }
    return list.release();
}

constexpr Parameters<6> kCalculateNseParameters{
    "calculate_nse()", {"sim", "obs", "use_log", "epsilon", "missing", "out"}, 2, 3};

PyObject* py_calculate_nse(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        FloatRows sim;
        FloatSpan obs;
        bool use_log = false;
        std::optional<double> epsilon;
        MissingRule missing = MissingRule::propagate;
        FloatOutput out;
        const Shortcut shortcut = series_only(args, nargs, kwnames, sim, obs);
        if (shortcut == Shortcut::failed) return nullptr;
        if (shortcut == Shortcut::not_taken &&
            !parse_call(kCalculateNseParameters, args, nargs, kwnames, sim, obs, use_log, epsilon,
                        missing, out)) {
            return nullptr;
        }
        if (epsilon && !use_log) return raise(Error::value("`epsilon` applies only with use_log=True"));
        // ln(0 + epsilon) of a zero flow would be -inf or NaN, and so would the score.
        if (epsilon && !(*epsilon > 0.0 && *epsilon < INFINITY)) {
            return raise(Error::value("`epsilon` must be finite and > 0; got " +
                                      format_double(*epsilon)));
        }
        const ScoreOptions options{epsilon, KgeVariant::gupta_2009};
        return score_call(use_log ? ScoreKind::log_nse : ScoreKind::nse, options, missing, sim,
                          obs, out);
    });
}

constexpr Parameters<5> kCalculateKgeComponentsParameters{
    "calculate_kge_components()", {"sim", "obs", "variant", "missing", "out"}, 2, 2};

PyObject* py_calculate_kge_components(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                      PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        FloatRows sim;
        FloatSpan obs;
        KgeVariant variant = KgeVariant::gupta_2009;
        MissingRule missing = MissingRule::propagate;
        FloatOutput out;
        const Shortcut shortcut = series_only(args, nargs, kwnames, sim, obs);
        if (shortcut == Shortcut::failed) return nullptr;
        if (shortcut == Shortcut::not_taken &&
            !parse_call(kCalculateKgeComponentsParameters, args, nargs, kwnames, sim, obs, variant,
                        missing, out)) {
            return nullptr;
        }
        const ScoreOptions options{std::nullopt, variant};
        return score_call(ScoreKind::kge_components, options, missing, sim, obs, out);
    });
}

// The four scores that take only the missing rule and `out`.
template <ScoreKind Kind, const Parameters<4>& Names>
PyObject* py_plain_score(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        FloatRows sim;
        FloatSpan obs;
        MissingRule missing = MissingRule::propagate;
        FloatOutput out;
        const Shortcut shortcut = series_only(args, nargs, kwnames, sim, obs);
        if (shortcut == Shortcut::failed) return nullptr;
        if (shortcut == Shortcut::not_taken &&
            !parse_call(Names, args, nargs, kwnames, sim, obs, missing, out)) {
            return nullptr;
        }
        return score_call(Kind, ScoreOptions{}, missing, sim, obs, out);
    });
}

constexpr Parameters<4> kCalculatePbiasParameters{
    "calculate_pbias()", {"sim", "obs", "missing", "out"}, 2, 2};
constexpr Parameters<4> kCalculateRmseParameters{
    "calculate_rmse()", {"sim", "obs", "missing", "out"}, 2, 2};
constexpr Parameters<4> kCalculateMaeParameters{
    "calculate_mae()", {"sim", "obs", "missing", "out"}, 2, 2};
constexpr Parameters<4> kCalculatePearsonRParameters{
    "calculate_pearson_r()", {"sim", "obs", "missing", "out"}, 2, 2};

#define SCORE_ARGUMENTS                                                                         \
    "# Arguments\n"                                                                             \
    "* `sim` - Simulated values: one series, or an ensemble as a two-dimensional float64\n"     \
    "  array (members x steps) or a list of series, each scored against `obs`.\n"               \
    "* `obs` - Observed values (the length of each simulated series).\n"
#define SCORE_MISSING                                                                           \
    "* `missing` - What a NaN on either side does: \"propagate\" (the score is NaN),\n"         \
    "  \"omit\" (such pairs are dropped first; NaN when none is left) or \"raise\"\n"           \
    "  (ValueError naming the first index with a NaN).\n"
#define SCORE_OUT                                                                               \
    "* `out` - For an ensemble: a writable float64 buffer of one element per member,\n"        \
    "  filled in place and returned instead of a list.\n\n"
#define SCORE_RETURNS                                                                           \
    "# Returns\n"                                                                               \
    "A float for one series; for an ensemble, a list of floats (or `out`).\n\n"                 \
    "# Errors\n"                                                                                \
    "`ValueError` if `obs` is empty, if a simulated series differs from it in length or\n"      \
    "if `missing` is not one of the three words."

PyMethodDef calculate_nse_definition = {
    "calculate_nse", as_method(py_calculate_nse), kFastcallFlags,
    "calculate_nse(sim, obs, use_log=False, *, epsilon=None, missing='propagate', out=None)\n"
    "--\n\n"
    "Calculates the Nash-Sutcliffe efficiency (Nash and Sutcliffe 1970):\n\n"
    "NSE = 1 - sum((sim - obs)²) / sum((obs - mean_obs)²)\n\n"
    "1 is a perfect match; 0 is no better than the observed mean.\n\n" SCORE_ARGUMENTS
    "* `use_log` - Score ln(x + epsilon) of both series, which weights low flows.\n"
    "* `epsilon` - The offset of the logarithm; by default mean_obs / 100\n"
    "  (Pushpalatha et al. 2012). Only with `use_log`.\n" SCORE_MISSING SCORE_OUT SCORE_RETURNS};

PyMethodDef calculate_kge_components_definition = {
    "calculate_kge_components", as_method(py_calculate_kge_components), kFastcallFlags,
    "calculate_kge_components(sim, obs, *, variant='2009', missing='propagate', out=None)\n"
    "--\n\n"
    "Calculates the Kling-Gupta efficiency with its three components, unfloored.\n\n"
    "* \"2009\" (Gupta et al.): KGE = 1 - sqrt((r-1)² + (alpha-1)² + (beta-1)²),\n"
    "  alpha = std_sim / std_obs.\n"
    "* \"2012\" (Kling et al.): KGE = 1 - sqrt((r-1)² + (beta-1)² + (gamma-1)²),\n"
    "  gamma = (std_sim / mean_sim) / (std_obs / mean_obs).\n\n"
    "beta = mean_sim / mean_obs; r is the Pearson correlation. A flat or zero-mean\n"
    "series gives inf or NaN rather than a floored number.\n\n" SCORE_ARGUMENTS
    "* `variant` - \"2009\" or \"2012\".\n" SCORE_MISSING
    "* `out` - For an ensemble: a writable float64 buffer of four elements per member\n"
    "  (kge, r, variability, bias, member after member), filled in place and returned\n"
    "  instead of a list.\n\n"
    "# Returns\n"
    "A `KgeComponents` (`kge`, `r`, `variability`, `bias`) for one series; for an\n"
    "ensemble, a list of them (or `out`).\n\n"
    "# Errors\n"
    "`ValueError` if `obs` is empty, if a simulated series differs from it in length or\n"
    "if `variant` or `missing` is not one of its words."};

PyMethodDef calculate_pbias_definition = {
    "calculate_pbias", as_method(py_plain_score<ScoreKind::pbias, kCalculatePbiasParameters>),
    kFastcallFlags,
    "calculate_pbias(sim, obs, *, missing='propagate', out=None)\n--\n\n"
    "Calculates the percent bias: PBIAS = 100 * sum(sim - obs) / sum(obs).\n\n"
    "Positive when the simulation is too high (some tools use the opposite sign).\n\n"
    SCORE_ARGUMENTS SCORE_MISSING SCORE_OUT SCORE_RETURNS};

PyMethodDef calculate_rmse_definition = {
    "calculate_rmse", as_method(py_plain_score<ScoreKind::rmse, kCalculateRmseParameters>),
    kFastcallFlags,
    "calculate_rmse(sim, obs, *, missing='propagate', out=None)\n--\n\n"
    "Calculates the root mean square error: sqrt(sum((sim - obs)²) / n), in the unit of\n"
    "the series.\n\n" SCORE_ARGUMENTS SCORE_MISSING SCORE_OUT SCORE_RETURNS};

PyMethodDef calculate_mae_definition = {
    "calculate_mae", as_method(py_plain_score<ScoreKind::mae, kCalculateMaeParameters>),
    kFastcallFlags,
    "calculate_mae(sim, obs, *, missing='propagate', out=None)\n--\n\n"
    "Calculates the mean absolute error: sum(|sim - obs|) / n, in the unit of the\n"
    "series.\n\n" SCORE_ARGUMENTS SCORE_MISSING SCORE_OUT SCORE_RETURNS};

PyMethodDef calculate_pearson_r_definition = {
    "calculate_pearson_r",
    as_method(py_plain_score<ScoreKind::pearson_r, kCalculatePearsonRParameters>), kFastcallFlags,
    "calculate_pearson_r(sim, obs, *, missing='propagate', out=None)\n--\n\n"
    "Calculates the Pearson correlation coefficient of the two series (NaN when either\n"
    "is flat).\n\n" SCORE_ARGUMENTS SCORE_MISSING SCORE_OUT SCORE_RETURNS};

}  // namespace

bool init_scores(PyObject* module) {
    return binding::add_function(module, &calculate_nse_definition) &&
           binding::add_function(module, &calculate_kge_components_definition) &&
           binding::add_class<KgeComponents>(module) &&
           binding::add_function(module, &calculate_pbias_definition) &&
           binding::add_function(module, &calculate_rmse_definition) &&
           binding::add_function(module, &calculate_mae_definition) &&
           binding::add_function(module, &calculate_pearson_r_definition);
}

}  // namespace vesparil
