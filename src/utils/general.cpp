#include "utils/general.hpp"

namespace vesparil {

Result<void> validate_interp1d_tables(std::span<const double> x_values,
                                      std::span<const double> y_values) {
    if (x_values.size() != y_values.size()) {
        return Error::internal("length of `x_values` and `y_values` should be same.");
    }
    if (x_values.size() < 2) {
        return Error::internal("x_values and y_values each must have at least 2 elements.");
    }
    if (!strictly_increasing(x_values)) {
        return Error::internal("`x_values` must must be sorted and can't have duplicates");
    }
    if (!non_decreasing(y_values)) return Error::internal("`y_values` must must be sorted");
    return {};
}

Result<std::optional<double>> interp1d(std::span<const double> x_values,
                                       std::span<const double> y_values, double x,
                                       std::optional<double> left, std::optional<double> right) {
    if (auto checks = validate_interp1d_tables(x_values, y_values); !checks.ok()) {
        return std::move(checks).error();
    }
    return interp1d_checked_tables(x_values, y_values, x, left, right);
}

namespace detail {

Error interp1d_unordered_lookup() {
    return Error::internal(
        "expected the ordering of the lookup value against the knots to be present, but it was "
        "absent (the lookup value is NaN)");
}

}  // namespace detail

}  // namespace vesparil
