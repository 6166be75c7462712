#include "core/format.hpp"

#include <array>
#include <charconv>
#include <cmath>

namespace vesparil {

namespace {

std::string non_finite(double value) {
    if (std::isnan(value)) return "NaN";
    return value < 0 ? "-inf" : "inf";
}

}  // namespace

std::string format_double(double value) {
    if (!std::isfinite(value)) return non_finite(value);
    // The largest double written in full is 309 digits; 1e-308 needs ~330 characters.
    std::array<char, 400> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                   std::chars_format::fixed);
    if (ec != std::errc{}) return "NaN";
    return std::string(buffer.data(), end);
}

std::string format_fixed(double value, int decimals) {
    if (!std::isfinite(value)) return non_finite(value);
    std::array<char, 400> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                   std::chars_format::fixed, decimals);
    if (ec != std::errc{}) return "NaN";
    return std::string(buffer.data(), end);
}

std::string format_int(std::int64_t value) { return std::to_string(value); }

}  // namespace vesparil
