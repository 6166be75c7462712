// Uniformly spaced time series: point samples (continuous) and interval amounts (incremental).
//
// A continuous series holds value i at elapsed time i * time_step seconds and spans
// (n - 1) * time_step; an incremental one holds the amount accumulated over
// [i * time_step, (i + 1) * time_step) and spans n * time_step. Units are the caller's.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/interrupt.hpp"
#include "core/result.hpp"

namespace vesparil {

inline constexpr std::string_view kKindDischarge = "discharge";
inline constexpr std::string_view kKindRainfall = "rainfall";
inline constexpr std::string_view kKindElevation = "elevation";
inline constexpr std::string_view kKindVolume = "volume";

struct ContinuousTimeSeries {
    std::vector<double> data;
    std::string kind;
    std::int32_t time_step = 1;  // whole seconds, at least 1
};

struct IncrementalTimeSeries {
    std::vector<double> data;
    std::string kind;
    std::int32_t time_step = 1;  // whole seconds, at least 1
};

// The kind word must be one of the four words above, byte for byte.
Result<void> validate_kind(std::string_view kind);

// Seconds of a time step given as a duration, truncated toward zero and saturated at the
// largest 32-bit value; fails when the step is shorter than one second.
Result<std::int32_t> time_step_from_seconds(double seconds);

// (n - 1) * time_step for a continuous series, n * time_step for an incremental one, formed in
// 64-bit arithmetic; a product beyond the 64-bit range is an internal error.
Result<std::int64_t> total_duration(const ContinuousTimeSeries& series);
Result<std::int64_t> total_duration(const IncrementalTimeSeries& series);

// Value at `duration` seconds after the first sample, by linear interpolation between the two
// neighbouring samples; a tolerance of 1e-6 s is allowed at both ends.
Result<double> get_value(const ContinuousTimeSeries& series, double duration);

// The interpolation of get_value for a duration already known to lie in [0, total_duration]
// of a series with at least one value (no checks): loops that step through a series use it.
inline double interpolate_within(const ContinuousTimeSeries& series, double duration) {
    const auto& d = series.data;
    const double position = duration / static_cast<double>(series.time_step);
    const double whole = std::floor(position);
    // NaN and negative positions index the first sample.
    const std::size_t i = (whole > 0.0) ? static_cast<std::size_t>(whole) : 0;
    if (i + 1 < d.size()) {
        return (d[i + 1] - d[i]) * (position - static_cast<double>(i)) + d[i];
    }
    return d[d.size() - 1];
}

// Splits every interval into time_step / target_step equal shares v * (target_step / time_step).
// `interrupt` is asked every kInterruptInterval values written.
Result<IncrementalTimeSeries> disaggregate(const IncrementalTimeSeries& series,
                                           std::int32_t target_step, InterruptCheck interrupt = {});

}  // namespace vesparil
