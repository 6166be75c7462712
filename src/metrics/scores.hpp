// Goodness-of-fit scores of a simulated series s against an observed series o, both of n complete
// pairs (no missing values: metrics/paired_scores.hpp applies the rule for those first). Means m,
// population standard deviations σ. The sums run in index order from 0.0, each with its own
// accumulator, and every formula is evaluated left to right in the order written here, which is
// part of the result. s and o share any unit; the scores carry the units noted.
//
// Nash-Sutcliffe efficiency (Nash and Sutcliffe 1970, "River flow forecasting through conceptual
// models part I", J. Hydrol. 10), dimensionless:
//     m_o = (Σ o) / n
//     NSE = 1 - Σ (s - o)² / Σ (o - m_o)²
// On logarithms (Pushpalatha et al. 2012, "A review of efficiency criteria suitable for
// evaluating low-flow simulations", J. Hydrol. 420-421): ε = m_o / 100 unless given, then NSE of
// ln(s + ε) against ln(o + ε).
//
// Kling-Gupta efficiency and its components (Gupta et al. 2009, "Decomposition of the mean
// squared error and NSE performance criteria", J. Hydrol. 377; Kling et al. 2012,
// "Runoff conditions in the upper Danube basin under an ensemble of climate change scenarios",
// J. Hydrol. 424-425), dimensionless:
//     m_s = (Σ s) / n,  m_o = (Σ o) / n
//     r   = Σ (s - m_s)(o - m_o) / sqrt(Σ (s - m_s)² * Σ (o - m_o)²)
//     σ_s = sqrt(Σ (s - m_s)² / n),  σ_o = sqrt(Σ (o - m_o)² / n)
//     2009: α = σ_s / σ_o,                  KGE  = 1 - sqrt((r - 1)² + (α - 1)² + (β - 1)²)
//     2012: γ = (σ_s / m_s) / (σ_o / m_o),  KGE' = 1 - sqrt((r - 1)² + (β - 1)² + (γ - 1)²)
//     β   = m_s / m_o
// No divisor is floored: a flat or zero-mean series gives inf or NaN, not a made-up number.
//
// Percent bias, in percent, positive when the simulation is too high:
//     PBIAS = 100 * Σ (s - o) / Σ o
// Root mean square error and mean absolute error, in the unit of the series:
//     RMSE = sqrt(Σ (s - o)² / n),  MAE = Σ |s - o| / n
// Pearson correlation r as in the KGE above, dimensionless.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace vesparil {

enum class ScoreKind { nse, log_nse, kge_components, pbias, rmse, mae, pearson_r };

enum class KgeVariant { gupta_2009, kling_2012 };

struct ScoreOptions {
    std::optional<double> epsilon;  // log NSE only; m_o / 100 when absent
    KgeVariant variant = KgeVariant::gupta_2009;
};

// What calculate_kge_components returns; `variability` is α (2009) or γ (2012).
struct KgeComponents {
    double kge;
    double r;
    double variability;
    double bias;
};

// How many numbers a score writes: 4 for the KGE components (kge, r, variability, bias), else 1.
constexpr std::size_t score_width(ScoreKind kind) {
    return kind == ScoreKind::kge_components ? 4 : 1;
}

// Members scored side by side (see scores.cpp).
inline constexpr std::size_t kLanes = 8;

// The sums over the observations alone, shared by every member scored against them: made once,
// each in the first pass that needs it (alongside the first members' sums, as a loop over one
// series would make it). Holds a view of `obs` (or of its own logarithms): it lives no longer
// than `obs`.
struct ObservedSums {
    ObservedSums() = default;
    ObservedSums(const ObservedSums&) = delete;
    ObservedSums& operator=(const ObservedSums&) = delete;
    ObservedSums(ObservedSums&&) = default;
    ObservedSums& operator=(ObservedSums&&) = default;

    std::span<const double> values;  // o, or ln(o + ε) for the log NSE
    std::vector<double> transformed;  // ln(o + ε), for the log NSE
    double n = 0.0;
    double epsilon = 0.0;             // ε of the log NSE
    double mean = 0.0;                // m_o of the NSE, made beforehand (of ln(o + ε), log NSE)
    std::optional<double> total;      // Σ o, where the mean is not made beforehand
    std::optional<double> spread_sq;  // Σ (o - m_o)², of the same values
};

ObservedSums observed_sums(ScoreKind kind, const ScoreOptions& options,
                           std::span<const double> obs);

// Scores each row (a simulated series of the observed length, no missing value left) against
// `observed`, writing score_width(kind) numbers per row to `out`, in row order; with no pair at
// all (n = 0) they are all NaN.
void score_rows(ScoreKind kind, const ScoreOptions& options, ObservedSums& observed,
                std::span<const double* const> rows, std::span<double> out);

// One simulated series of the observed length against `obs`, as score_rows scores a row: the
// short path of a single call (score_width(kind) numbers written to `out`).
void score_one(ScoreKind kind, const ScoreOptions& options, std::span<const double> sim,
               std::span<const double> obs, double* out);

}  // namespace vesparil
