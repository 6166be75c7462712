// Sums over several simulated series at once, each series with its own accumulator in index
// order.
//
// Two members share a 128-bit register whose lanes are separate IEEE operations (the GCC and
// Clang vector extension; the x86-64 baseline has it as SSE2, other targets as pairs of scalar
// operations), so a member's sum has the bits of a loop over that member alone, whatever its
// neighbours. Several registers side by side hide the latency of each addition. Two steps of
// two members are read as one block of each member's row and turned into a register per step
// (a 2 x 2 transpose), which halves the loads of reading the steps one by one; the additions stay
// one step after the other. A sum over the observations alone may ride along in the same pass,
// as a loop over one series would make it.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

namespace vesparil::lanes {

using Pair = double __attribute__((vector_size(16)));
using PairBits = std::uint64_t __attribute__((vector_size(16)));

// Steps i and i + 1 of two rows a and b, as the registers {a[i], b[i]} and {a[i+1], b[i+1]}.
inline void two_steps(const double* a, const double* b, std::size_t i, Pair& first, Pair& second) {
    Pair from_a;
    Pair from_b;
    std::memcpy(&from_a, a + i, sizeof(Pair));  // unaligned loads
    std::memcpy(&from_b, b + i, sizeof(Pair));
    first = __builtin_shufflevector(from_a, from_b, 0, 2);
    second = __builtin_shufflevector(from_a, from_b, 1, 3);
}

inline double magnitude(double x) { return std::fabs(x); }

// fabs of each lane: the sign bit cleared, as fabs does.
inline Pair magnitude(Pair x) {
    constexpr std::uint64_t kAllButSign = ~(std::uint64_t{1} << 63);
    const PairBits mask = {kAllButSign, kAllButSign};
    return std::bit_cast<Pair>(std::bit_cast<PairBits>(x) & mask);
}

// Σ term(s_k[i], o[i]) over i in index order for each of K members (one, or pairs), and with
// Observed also Σ observed_term(o[i]) into observed_sum.
template <std::size_t K, bool Observed, class Term, class ObservedTerm>
std::array<double, K> member_sums(const double* const* rows, const double* o, std::size_t len,
                                  Term term, ObservedTerm observed_term, double& observed_sum) {
    static_assert(K == 1 || K % 2 == 0);
    std::array<double, K> sums{};
    double obs_sum = 0.0;
    if constexpr (K == 1) {
        const double* const s = rows[0];
        double sum = 0.0;
        for (std::size_t i = 0; i < len; ++i) {
            sum += term(s[i], o[i]);
            if constexpr (Observed) obs_sum += observed_term(o[i]);
        }
        sums[0] = sum;
    } else {
        constexpr std::size_t kPairs = K / 2;
        std::array<const double*, K> s{};
        for (std::size_t k = 0; k < K; ++k) s[k] = rows[k];
        std::array<Pair, kPairs> pair_sums{};
        std::size_t i = 0;
        for (; i + 2 <= len; i += 2) {
            const double obs = o[i];
            const double next_obs = o[i + 1];
            const Pair obs_pair = {obs, obs};
            const Pair next_obs_pair = {next_obs, next_obs};
            for (std::size_t p = 0; p < kPairs; ++p) {
                Pair simulated;
                Pair next_simulated;
                two_steps(s[2 * p], s[2 * p + 1], i, simulated, next_simulated);
                pair_sums[p] += term(simulated, obs_pair);
                pair_sums[p] += term(next_simulated, next_obs_pair);
            }
            if constexpr (Observed) {
                obs_sum += observed_term(obs);
                obs_sum += observed_term(next_obs);
            }
        }
        for (; i < len; ++i) {
            const double obs = o[i];
            const Pair obs_pair = {obs, obs};
            for (std::size_t p = 0; p < kPairs; ++p) {
                const Pair simulated = {s[2 * p][i], s[2 * p + 1][i]};
                pair_sums[p] += term(simulated, obs_pair);
            }
            if constexpr (Observed) obs_sum += observed_term(obs);
        }
        for (std::size_t p = 0; p < kPairs; ++p) {
            sums[2 * p] = pair_sums[p][0];
            sums[2 * p + 1] = pair_sums[p][1];
        }
    }
    if constexpr (Observed) observed_sum = obs_sum;
    return sums;
}

// member_sums, making the observed sum alongside when it is not made yet.
template <std::size_t K, class Term, class ObservedTerm>
std::array<double, K> sums_and(std::optional<double>& observed_sum, const double* const* rows,
                               const double* o, std::size_t len, Term term,
                               ObservedTerm observed_term) {
    double made = 0.0;
    if (observed_sum) return member_sums<K, false>(rows, o, len, term, observed_term, made);
    const auto sums = member_sums<K, true>(rows, o, len, term, observed_term, made);
    observed_sum = made;
    return sums;
}

// Σ (s - m_s)(o - m_o) and Σ (s - m_s)² for each member, and with Observed Σ (o - m_o)².
template <std::size_t K, bool Observed>
void deviation_sums(const double* const* rows, const double* o, std::size_t len,
                    const std::array<double, K>& mean_sim, double mean_obs,
                    std::array<double, K>& cross, std::array<double, K>& sim_sq,
                    double& obs_sq) {
    double obs_sum = 0.0;
    if constexpr (K == 1) {
        const double* const s = rows[0];
        for (std::size_t i = 0; i < len; ++i) {
            const double ds = s[i] - mean_sim[0];
            const double dobs = o[i] - mean_obs;
            cross[0] += ds * dobs;
            sim_sq[0] += ds * ds;
            if constexpr (Observed) obs_sum += dobs * dobs;
        }
    } else {
        constexpr std::size_t kPairs = K / 2;
        std::array<const double*, K> s{};
        for (std::size_t k = 0; k < K; ++k) s[k] = rows[k];
        std::array<Pair, kPairs> mean{}, cross_pair{}, sim_sq_pair{};
        for (std::size_t p = 0; p < kPairs; ++p) mean[p] = Pair{mean_sim[2 * p], mean_sim[2 * p + 1]};
        std::size_t i = 0;
        for (; i + 2 <= len; i += 2) {
            const double dobs = o[i] - mean_obs;
            const double next_dobs = o[i + 1] - mean_obs;
            const Pair dobs_pair = {dobs, dobs};
            const Pair next_dobs_pair = {next_dobs, next_dobs};
            for (std::size_t p = 0; p < kPairs; ++p) {
                Pair simulated;
                Pair next_simulated;
                two_steps(s[2 * p], s[2 * p + 1], i, simulated, next_simulated);
                const Pair ds = simulated - mean[p];
                cross_pair[p] += ds * dobs_pair;
                sim_sq_pair[p] += ds * ds;
                const Pair next_ds = next_simulated - mean[p];
                cross_pair[p] += next_ds * next_dobs_pair;
                sim_sq_pair[p] += next_ds * next_ds;
            }
            if constexpr (Observed) {
                obs_sum += dobs * dobs;
                obs_sum += next_dobs * next_dobs;
            }
        }
        for (; i < len; ++i) {
            const double dobs = o[i] - mean_obs;
            const Pair dobs_pair = {dobs, dobs};
            for (std::size_t p = 0; p < kPairs; ++p) {
                const Pair ds = Pair{s[2 * p][i], s[2 * p + 1][i]} - mean[p];
                cross_pair[p] += ds * dobs_pair;
                sim_sq_pair[p] += ds * ds;
            }
            if constexpr (Observed) obs_sum += dobs * dobs;
        }
        for (std::size_t p = 0; p < kPairs; ++p) {
            for (std::size_t j = 0; j < 2; ++j) {
                cross[2 * p + j] = cross_pair[p][j];
                sim_sq[2 * p + j] = sim_sq_pair[p][j];
            }
        }
    }
    if constexpr (Observed) obs_sq = obs_sum;
}

}  // namespace vesparil::lanes
