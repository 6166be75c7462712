#include "core/format.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

namespace vesparil {

namespace {

// 2^53: from here on neighbouring doubles are two or more apart.
constexpr double kTwoToThe53 = 9007199254740992.0;

std::string non_finite(double value) {
    if (std::isnan(value)) return "NaN";
    return value < 0 ? "-inf" : "inf";
}

}  // namespace

std::string format_double(double value) {
    if (!std::isfinite(value)) return non_finite(value);
    // The largest double written in full is 309 digits; 1e-308 needs ~330 characters.
    std::array<char, 400> buffer{};
    if (std::fabs(value) < kTwoToThe53) {
        auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                       std::chars_format::fixed);
        if (ec != std::errc{}) return "NaN";
        return std::string(buffer.data(), end);
    }
    // From 2^53 on, fixed notation would print every digit of the binary value: take the
    // shortest round-trip digits instead and pad them with zeros up to the decimal point. Such a
    // value is an integer of at least 16 digits, so its shortest form has no fractional digit.
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                   std::chars_format::scientific);
    if (ec != std::errc{}) return "NaN";
    const std::string_view scientific(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
    const auto e = scientific.find('e');
    // The exponent is positive and written with its sign, which from_chars does not take.
    int exponent = 0;
    std::from_chars(scientific.data() + e + 2, scientific.data() + scientific.size(), exponent);
    std::string text;
    for (const char c : scientific.substr(0, e)) {
        if (c != '.') text.push_back(c);
    }
    const std::size_t digits = text.size() - (value < 0 ? 1 : 0);
    text.append(static_cast<std::size_t>(exponent) + 1 - digits, '0');
    return text;
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
