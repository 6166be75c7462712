// Numbers as they appear in messages.
#pragma once

#include <cstdint>
#include <string>

namespace vesparil {

// Shortest decimal text that reads back as the same double, never in exponent form, without a
// fractional part when the value is integral: 2.0 -> "2", 1e-7 -> "0.0000001", NaN -> "NaN",
// infinity -> "inf". From 2^53 on, the shortest digits are padded with zeros to the decimal
// point: 2^60 -> "1152921504606847000".
std::string format_double(double value);

// Fixed point with exactly `decimals` decimals: format_fixed(1.0 / 3.0, 4) -> "0.3333".
std::string format_fixed(double value, int decimals);

std::string format_int(std::int64_t value);

}  // namespace vesparil
