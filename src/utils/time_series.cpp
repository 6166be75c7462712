#include "utils/time_series.hpp"

#include <cmath>
#include <limits>

#include "core/format.hpp"
#include "core/seconds.hpp"

namespace vesparil {

Result<void> validate_kind(std::string_view kind) {
    if (kind == kKindDischarge || kind == kKindRainfall || kind == kKindElevation ||
        kind == kKindVolume) {
        return {};
    }
    return Error::value(
        "kind must be one of [\"discharge\", \"rainfall\", \"elevation\", \"volume\"]; got '" +
        std::string(kind) + "'");
}

Result<std::int32_t> time_step_from_seconds(double seconds) {
    const std::int32_t step = saturating_whole_seconds(seconds);
    if (step <= 0) return Error::value("time_step must be > 0");
    return step;
}

namespace {

Result<std::int64_t> checked_span(std::int64_t intervals, std::int32_t time_step) {
    std::int64_t span = 0;
    if (__builtin_mul_overflow(intervals, static_cast<std::int64_t>(time_step), &span)) {
        return Error::internal("the series duration overflows a signed 64-bit count of seconds");
    }
    return span;
}

}  // namespace

Result<std::int64_t> total_duration(const ContinuousTimeSeries& series) {
    return checked_span(static_cast<std::int64_t>(series.data.size()) - 1, series.time_step);
}

Result<std::int64_t> total_duration(const IncrementalTimeSeries& series) {
    return checked_span(static_cast<std::int64_t>(series.data.size()), series.time_step);
}

Result<double> get_value(const ContinuousTimeSeries& series, double duration) {
    const auto& d = series.data;
    if (d.empty()) {
        return Error::internal("get_value called on a time series without values");
    }
    if (duration < -1e-6) {
        return Error::value("`duration` " + format_double(duration) + " is less than 0.");
    }
    const auto total = total_duration(series);
    if (!total) return total.error();
    const std::int64_t span = *total;
    const double span_seconds = static_cast<double>(span);
    if (duration > span_seconds + 1e-6) {
        return Error::value("`duration` " + format_double(duration) + " is out of range (max " +
                            format_int(span) + ").");
    }
    double clamped = duration;
    if (clamped < 0.0) clamped = 0.0;
    if (clamped > span_seconds) clamped = span_seconds;

    return interpolate_within(series, clamped);
}

Result<IncrementalTimeSeries> disaggregate(const IncrementalTimeSeries& series,
                                           std::int32_t target_step, InterruptCheck interrupt) {
    if (target_step < 30) return Error::value("target_step must be >= 30 seconds.");
    if (series.time_step % target_step != 0) {
        return Error::value("Original time_step (" + format_int(series.time_step) +
                            ") must be a multiple of target_step (" + format_int(target_step) +
                            ").");
    }
    const auto shares = static_cast<std::size_t>(series.time_step / target_step);
    const double ratio = static_cast<double>(target_step) / static_cast<double>(series.time_step);

    IncrementalTimeSeries result;
    result.kind = series.kind;
    result.time_step = target_step;
    std::size_t length = 0;
    if (__builtin_mul_overflow(series.data.size(), shares, &length)) {
        return Error::internal("capacity overflow");
    }
    result.data.reserve(length);
    InterruptCounter counter(interrupt);
    for (const double value : series.data) {
        const double share = value * ratio;
        if (!append_interruptibly(result.data, shares, share, counter)) return Error::interrupted();
    }
    return result;
}

}  // namespace vesparil
