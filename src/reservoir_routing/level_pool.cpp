// Level pool routing: one explicit mass-balance update per simulated second,
//
//   S = S + ((I_prev + I_now) * 0.5) * dt - Q * dt,   then S = 0 unless S > 0,
//
// with Q the sum of the outlets' releases at the elevation reached one second earlier. The loop
// runs millions of times per call, so the curves are prepared once (their table checks done and
// their last interval remembered) and every lookup that does not take the common path is handed
// to the plain lookup, which then produces exactly the error it always would.
#include "reservoir_routing/level_pool.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "utils/general.hpp"

namespace vesparil {

namespace {

ContinuousTimeSeries empty_record(std::string_view kind, std::int32_t time_step,
                                  std::size_t capacity) {
    ContinuousTimeSeries record;
    record.data.reserve(capacity);
    record.kind = std::string(kind);
    record.time_step = time_step;
    return record;
}

}  // namespace

Result<LevelPoolResult> run_level_pool_routing(
    const ContinuousTimeSeries& inflow, double initial_elevation, const ElevationStorage& curve,
    const std::vector<std::pair<std::string, DischargeInfo>>& outlets, InterruptCheck interrupt) {
    const std::size_t n = inflow.data.size();
    const std::int32_t step = inflow.time_step;

    // Every record holds at most n values, so appending never reallocates inside the loop.
    LevelPoolResult result{empty_record(kKindVolume, step, n),
                           empty_record(kKindElevation, step, n),
                           empty_record(kKindDischarge, step, n),
                           {}};
    std::vector<double>& storage_record = result.reservoir_storage.data;
    std::vector<double>& elevation_record = result.reservoir_elevation.data;
    std::vector<double>& total_record = result.reservoir_total_outflow.data;

    elevation_record.push_back(initial_elevation);
    auto initial_storage = get_storage(curve, initial_elevation);
    if (!initial_storage.ok()) return std::move(initial_storage).error();
    double storage = initial_storage.value();
    storage_record.push_back(storage);
    double elevation = initial_elevation;

    if (n == 0) {
        return Error::internal(
            "expected a first inflow value to be present, but the inflow series is empty");
    }
    if (step < 1) {
        return Error::internal("the inflow time step must be at least one second");
    }

    const std::int64_t T = step;
    const auto span = total_duration(inflow);
    if (!span) return span.error();
    const std::int64_t last_time = *span;
    // The sub-step is one second for every valid series (T >= 1).
    const double dt = static_cast<double>(std::min<std::int64_t>(T, 1));
    double previous_inflow = inflow.data[0];

    // Every outlet is asked at the first sub-step, which is an output step, so each one's record
    // exists from there on; with no sub-step at all there are no records.
    std::vector<DischargeSource> sources;
    std::vector<std::vector<double>*> outlet_records;
    if (last_time >= T) {
        sources.reserve(outlets.size());
        outlet_records.reserve(outlets.size());
        result.reservoir_individual_outflows.reserve(outlets.size());
        for (const auto& [name, outlet] : outlets) {
            sources.emplace_back(outlet);
            auto& record = result.reservoir_individual_outflows.emplace_back(
                name, empty_record(kKindDischarge, step, n));
            outlet_records.push_back(&record.second.data);
        }
    }
    const std::size_t outlet_count = sources.size();
    // This step's releases, appended to the records after the outlet loop so that the loop on the
    // hot path holds no append.
    std::vector<double> releases(outlet_count);

    // The curve is read backwards (elevation from storage) once per second; its table checks are
    // made once, and their failure, if any, is reported at the first lookup.
    InterpTable storage_to_elevation(curve.storage, curve.elevation);

    std::int64_t next_output = T;
    std::uint64_t until_interrupt_check = kInterruptInterval;
    for (std::int64_t t = T; t <= last_time; ++t) {
        if (--until_interrupt_check == 0) [[unlikely]] {
            until_interrupt_check = kInterruptInterval;
            if (interrupt.stop_requested()) return Error::interrupted();
        }
        const bool output_step = (t == next_output);

        double outflow = 0.0;
        for (std::size_t k = 0; k < outlet_count; ++k) {
            auto release = sources[k].try_release(elevation);
            if (!release.has_value()) {
                // Time-series outlets, and every failure, take the plain lookup.
                auto exact = get_discharge(sources[k].outlet(), elevation, t);
                if (!exact.ok()) return std::move(exact).error();
                release = exact.value();
            }
            releases[k] = *release;
            outflow = outflow + *release;
        }
        if (output_step) {
            for (std::size_t k = 0; k < outlet_count; ++k) {
                outlet_records[k]->push_back(releases[k]);
            }
            total_record.push_back(outflow);
            next_output += T;
            // The first sub-step only records the outflow at the initial elevation.
            if (t == T) continue;
        }

        // T <= t <= D lies inside the series, where get_value cannot fail.
        const double inflow_now = interpolate_within(inflow, static_cast<double>(t));

        storage = storage + ((previous_inflow + inflow_now) * 0.5) * dt - outflow * dt;
        // Written as "not above zero" so that a NaN storage is also reset to an empty reservoir.
        if (!(storage > 0.0)) storage = 0.0;

        auto new_elevation = storage_to_elevation.try_within(storage);
        if (!new_elevation.has_value()) [[unlikely]] {
            // Off the curve, or a curve that cannot be read: the plain lookup says which.
            auto exact = get_elevation(curve, storage);
            if (!exact.ok()) return std::move(exact).error();
            new_elevation = exact.value();
        }
        elevation = *new_elevation;

        if (output_step) {
            storage_record.push_back(storage);
            elevation_record.push_back(elevation);
        }
        previous_inflow = inflow_now;
    }
    return result;
}

}  // namespace vesparil
