// Piecewise-linear table lookup (one-dimensional linear interpolation between knots).
//
// Between the knots (x0, y0) and (x1, y1) that enclose x:
//
//   y = ((x - x0) / (x1 - x0)) * (y1 - y0) + y0
//
// evaluated in exactly that order. A lookup exactly on a knot returns that knot's y; below the
// first knot the result is `left` and above the last one `right` (either may be absent); nothing
// is ever extrapolated. Units are the caller's.
//
// The tables must hold at least two knots, x strictly increasing and y non-decreasing. Those
// checks are linear in the table length, so a caller that looks up the same tables many times
// (the level pool loop, once per simulated second) checks them once with
// validate_interp1d_tables, or through an InterpTable, and then uses the unchecked lookup; the
// results and the error reported are the same as calling interp1d every time.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "core/result.hpp"

namespace vesparil {

// Table order scans. Each neighbour test is written as "not greater" ("not less"), so that a NaN
// after the first entry fails it.
inline bool strictly_increasing(std::span<const double> values) {
    for (std::size_t i = 1; i < values.size(); ++i) {
        if (!(values[i] > values[i - 1])) return false;
    }
    return true;
}

inline bool non_decreasing(std::span<const double> values) {
    for (std::size_t i = 1; i < values.size(); ++i) {
        if (!(values[i] >= values[i - 1])) return false;
    }
    return true;
}

// The table checks of interp1d, in order; the first failure is an internal error, since callers
// validate their tables when they are built.
Result<void> validate_interp1d_tables(std::span<const double> x_values,
                                      std::span<const double> y_values);

// Checks the tables, then looks x up. A NaN x is an internal error.
Result<std::optional<double>> interp1d(std::span<const double> x_values,
                                       std::span<const double> y_values, double x,
                                       std::optional<double> left, std::optional<double> right);

namespace detail {

// The error of a NaN lookup value, built out of line to keep the lookups below small.
Error interp1d_unordered_lookup();

// Number of knots strictly less than x (the lower bound), for strictly increasing knots and a
// non-NaN x. Branch-free halving: the comparison outcome feeds a conditional move, not a jump,
// because successive lookups in a routing loop land in unpredictable halves.
inline std::size_t knots_below(std::span<const double> x_values, double x) {
    const double* base = x_values.data();
    std::size_t length = x_values.size();
    while (length > 1) {
        const std::size_t half = length / 2;
        base = (base[half] < x) ? base + half : base;
        length -= half;
    }
    return static_cast<std::size_t>(base - x_values.data()) + (*base < x ? 1 : 0);
}

// The result for x given its lower bound k among n knots: the knot's y on an exact hit, the fill
// values outside the knots, the interpolation inside an interval.
inline std::optional<double> value_at_lower_bound(std::span<const double> x_values,
                                                  std::span<const double> y_values, std::size_t k,
                                                  double x, std::optional<double> left,
                                                  std::optional<double> right) {
    const std::size_t n = x_values.size();
    if (k < n && x_values[k] == x) return y_values[k];
    if (k == 0) return left;
    if (k == n) return right;
    const double x0 = x_values[k - 1];
    const double x1 = x_values[k];
    const double y0 = y_values[k - 1];
    const double y1 = y_values[k];
    return ((x - x0) / (x1 - x0)) * (y1 - y0) + y0;
}

}  // namespace detail

// interp1d without the table checks: the tables must already have passed
// validate_interp1d_tables (at least two knots, so the search below never reads an empty span).
inline Result<std::optional<double>> interp1d_checked_tables(std::span<const double> x_values,
                                                             std::span<const double> y_values,
                                                             double x, std::optional<double> left,
                                                             std::optional<double> right) {
    if (x != x) [[unlikely]] {
        return detail::interp1d_unordered_lookup();
    }
    const std::size_t k = detail::knots_below(x_values, x);
    return detail::value_at_lower_bound(x_values, y_values, k, x, left, right);
}

// A table pair checked once, for a loop that looks it up many times. The outcome of the checks
// is kept and reported by the first lookup (not at construction), so a table that is never looked
// up never fails, exactly as with interp1d. The spans must outlive the InterpTable.
//
// The interval of the previous lookup is tried before the binary search: in a routing loop the
// looked-up value moves little from one second to the next. Knots are strictly increasing, so the
// interval that encloses x is unique and the result cannot depend on how it was found. The
// remembered interval makes lookups modify the object; use one InterpTable per thread.
class InterpTable {
public:
    InterpTable(std::span<const double> x_values, std::span<const double> y_values)
        : x_values_(x_values),
          y_values_(y_values),
          checks_(validate_interp1d_tables(x_values, y_values)) {}

    // The common case of a loop, without building a result: interp1d's value when the checks
    // passed and x lies within [first knot, last knot]. Absent otherwise (x outside, NaN x, failed
    // checks): lookup() then says what interp1d would return.
    std::optional<double> try_within(double x) {
        if (!checks_.ok()) [[unlikely]] {
            return std::nullopt;
        }
        std::size_t k = last_interval_;
        // k is x's lower bound when x lies in (x[k - 1], x[k]]; a NaN x fails every comparison.
        if (!(k > 0 && x_values_[k - 1] < x && x <= x_values_[k])) {
            if (!relocate(x)) return std::nullopt;
            k = last_interval_;
        }
        // Here x <= x[k], and k == 0 only when x equals the first knot.
        if (x_values_[k] == x) return y_values_[k];
        const double x0 = x_values_[k - 1];
        const double x1 = x_values_[k];
        const double y0 = y_values_[k - 1];
        const double y1 = y_values_[k];
        return ((x - x0) / (x1 - x0)) * (y1 - y0) + y0;
    }

    // interp1d(x_values, y_values, x, left, right) without repeating the checks.
    Result<std::optional<double>> lookup(double x, std::optional<double> left,
                                         std::optional<double> right) {
        if (const auto value = try_within(x)) return value;
        if (!checks_.ok()) return checks_.error();
        return interp1d_checked_tables(x_values_, y_values_, x, left, right);
    }

private:
    // Searches x's interval afresh into last_interval_; false when x lies outside the knots or
    // is NaN.
    bool relocate(double x) {
        const std::size_t n = x_values_.size();
        if (!(x >= x_values_[0] && x <= x_values_[n - 1])) return false;
        last_interval_ = detail::knots_below(x_values_, x);
        return true;
    }

    std::span<const double> x_values_;
    std::span<const double> y_values_;
    Result<void> checks_;
    std::size_t last_interval_ = 0;  // lower bound of the last x found; 0 makes the next one search
};

}  // namespace vesparil
