// Unit constants shared by the models.
#pragma once

namespace vesparil {

inline constexpr double kSecondsPerHour = 3600.0;

// A depth rate of one inch per hour over one acre, in cubic feet per second. The exact ratio is
// 1.008333...; results are defined with this rounded literal, so it must not be replaced.
inline constexpr double kCfsPerAcreInchPerHour = 1.00833;

}  // namespace vesparil
