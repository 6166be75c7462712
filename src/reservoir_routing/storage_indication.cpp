// Storage-indication routing: the table of N = 2S/dt + O is built once, then each step is one
// addition and one interpolation, found by walking from the previous step's interval.
#include "reservoir_routing/storage_indication.hpp"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <variant>

#include "core/format.hpp"

namespace vesparil {

namespace {

// The elevations at which an outlet's release changes slope or jumps.
void add_outlet_points(const DischargeInfo& outlet, std::vector<double>& points) {
    const auto gates = [&](const std::optional<double>& low, const std::optional<double>& high) {
        if (low) points.push_back(*low);
        if (high) points.push_back(*high);
    };
    if (const auto* gate = std::get_if<ControlledDischargeInfo>(&outlet)) {
        for (double h : gate->elevation_discharge.elevation) points.push_back(h);
        gates(gate->minimum_elevation, gate->maximum_elevation);
    } else if (const auto* spillway = std::get_if<UnControlledDischargeInfo>(&outlet)) {
        const double offset = spillway->elevation_offset ? *spillway->elevation_offset : 0.0;
        for (double h : spillway->elevation_discharge.elevation) points.push_back(h - offset);
    } else if (const auto* constant = std::get_if<ConstantDischargeInfo>(&outlet)) {
        gates(constant->minimum_elevation, constant->maximum_elevation);
    }
}

ContinuousTimeSeries record(std::string_view kind, std::int32_t step, std::size_t n) {
    ContinuousTimeSeries series;
    series.data.reserve(n);
    series.kind = std::string(kind);
    series.time_step = step;
    return series;
}

}  // namespace

std::size_t storage_indication_table_rows(
    const ElevationStorage& curve,
    const std::vector<std::pair<std::string, DischargeInfo>>& outlets) {
    std::size_t rows = curve.elevation.size();
    for (const auto& named : outlets) {
        if (const auto* gate = std::get_if<ControlledDischargeInfo>(&named.second)) {
            rows += gate->elevation_discharge.elevation.size();
        } else if (const auto* spillway = std::get_if<UnControlledDischargeInfo>(&named.second)) {
            rows += spillway->elevation_discharge.elevation.size();
        }
        rows += 2;  // its gates
    }
    return rows;
}

Result<StorageIndicationTable> storage_indication_table(
    const ElevationStorage& curve,
    const std::vector<std::pair<std::string, DischargeInfo>>& outlets, double dt,
    InterruptCheck interrupt) {
    for (const auto& [name, outlet] : outlets) {
        if (std::holds_alternative<SpecifiedDischargeInfo>(outlet)) {
            return Error::value("storage-indication routing needs outlets that depend on the "
                                "elevation alone; '" + name + "' is a SpecifiedDischargeInfo");
        }
    }
    const std::vector<double>& levels = curve.elevation;
    if (levels.size() < 2 || curve.storage.size() != levels.size()) {
        // The plain lookup says what is wrong with such a curve.
        auto lookup = get_storage(curve, levels.empty() ? 0.0 : levels.front());
        if (!lookup) return std::move(lookup).error();
        return Error::internal("a storage curve needs two points");
    }
    const double low = levels.front();
    const double high = levels.back();
    std::vector<double> points(levels.begin(), levels.end());
    for (const auto& named : outlets) add_outlet_points(named.second, points);
    std::erase_if(points, [&](double h) { return !(h >= low && h <= high); });
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());

    // Each outlet's curve is checked once and read from the interval of the point before (the
    // points rise), instead of checked again at every point: the plain lookups give the same
    // values, and are asked where these do not, for the error they report.
    InterpTable storage_curve(curve.elevation, curve.storage);
    std::vector<DischargeSource> sources;
    sources.reserve(outlets.size());
    for (const auto& named : outlets) sources.emplace_back(named.second);
    InterruptCounter counter(interrupt);
    const std::uint64_t row_work = storage_indication_row_work(outlets.size());

    StorageIndicationTable table;
    table.outlet_count = outlets.size();
    std::vector<double> releases;
    releases.reserve(outlets.size());
    for (double h : points) {
        double storage = 0.0;
        if (!storage_curve.within(h, storage)) {
            auto plain = get_storage(curve, h);
            if (!plain) return std::move(plain).error();
            storage = *plain;
        }
        releases.clear();
        double total = 0.0;
        std::optional<Error> failed;
        for (std::size_t i = 0; i < sources.size(); ++i) {
            double release = 0.0;
            if (!sources[i].try_release(h, release)) {
                auto plain = get_discharge(outlets[i].second, h, std::nullopt);
                if (!plain) {
                    failed = std::move(plain).error();
                    break;
                }
                release = *plain;
            }
            releases.push_back(release);
            total = total + release;
        }
        if (failed) {
            // Above the last elevation every outlet answers, the table ends; a run that needs
            // more reports this lookup's error.
            if (table.elevation.size() < 2) return std::move(*failed);
            table.beyond = std::move(*failed);
            break;
        }
        const double indication = (2.0 * storage) / dt + total;
        if (!table.indication.empty() && !(indication > table.indication.back())) {
            return Error::value("2S/dt + O must increase with the elevation; it does not between " +
                                format_double(table.elevation.back()) + " and " +
                                format_double(h));
        }
        table.elevation.push_back(h);
        table.storage.push_back(storage);
        table.outflow.push_back(total);
        table.indication.push_back(indication);
        table.releases.insert(table.releases.end(), releases.begin(), releases.end());
        if (counter.stop_requested_after(row_work)) return Error::interrupted();
    }
    return table;
}

Result<LevelPoolResult> run_storage_indication_routing(
    const ContinuousTimeSeries& inflow, double initial_elevation, const ElevationStorage& curve,
    const std::vector<std::pair<std::string, DischargeInfo>>& outlets, InterruptCheck interrupt) {
    auto initial_storage = get_storage(curve, initial_elevation);
    if (!initial_storage) return std::move(initial_storage).error();
    const std::size_t n = inflow.data.size();
    if (n == 0) {
        return Error::internal(
            "expected a first inflow value to be present, but the inflow series is empty");
    }
    const double dt = static_cast<double>(inflow.time_step);
    auto built = storage_indication_table(curve, outlets, dt, interrupt);
    if (!built) return std::move(built).error();
    const StorageIndicationTable& t = *built;
    const std::size_t m = t.outlet_count;
    const std::size_t last = t.elevation.size() - 1;
    const bool truncated = t.elevation.back() < curve.elevation.back();

    // The interval k holding the initial elevation, and its weight.
    if (initial_elevation > t.elevation.back()) return t.beyond;
    std::size_t k = 0;
    while (k + 1 < last && t.elevation[k + 1] < initial_elevation) ++k;
    double w = (initial_elevation - t.elevation[k]) / (t.elevation[k + 1] - t.elevation[k]);

    const std::int32_t step = inflow.time_step;
    LevelPoolResult result{record(kKindVolume, step, n), record(kKindElevation, step, n),
                           record(kKindDischarge, step, n), {}};
    std::vector<std::vector<double>*> outlet_records;
    result.reservoir_individual_outflows.reserve(m);
    for (const auto& named : outlets) {
        auto& added = result.reservoir_individual_outflows.emplace_back(
            named.first, record(kKindDischarge, step, n));
        outlet_records.push_back(&added.second.data);
    }
    // The total is the outlets' releases added in their order, as the table's rows are, so
    // that the releases recorded add up to it exactly (the interpolated row totals can differ
    // from their sum in the last place).
    auto record_outflows = [&](double weight) {
        double o = 0.0;
        for (std::size_t i = 0; i < m; ++i) {
            const double a = t.releases[k * m + i];
            const double release = a + weight * (t.releases[(k + 1) * m + i] - a);
            outlet_records[i]->push_back(release);
            o = o + release;
        }
        result.reservoir_total_outflow.data.push_back(o);
        return o;
    };
    double outflow = record_outflows(w);
    double indication = (2.0 * *initial_storage) / dt + outflow;
    result.reservoir_storage.data.push_back(*initial_storage);
    result.reservoir_elevation.data.push_back(initial_elevation);

    InterruptCounter counter(interrupt);
    const std::uint64_t step_work = storage_indication_row_work(m);
    for (std::size_t j = 1; j < n; ++j) {
        indication = (inflow.data[j - 1] + inflow.data[j]) + (indication - 2.0 * outflow);
        if (!(indication >= t.indication[0])) indication = t.indication[0];
        if (indication > t.indication[last]) {
            if (truncated) return t.beyond;
            auto above = get_elevation(curve, ((indication - t.outflow[last]) * dt) / 2.0);
            if (!above) return std::move(above).error();
            return Error::internal("storage-indication lookup above a table that ends at the top "
                                   "of the storage curve");
        }
        const std::size_t from = k;
        while (k > 0 && indication < t.indication[k]) --k;
        while (k + 1 < last && indication > t.indication[k + 1]) ++k;
        // A step that swings across the table (a step too long for the outlets) walks it all.
        const std::size_t walked = k > from ? k - from : from - k;
        w = (indication - t.indication[k]) / (t.indication[k + 1] - t.indication[k]);
        outflow = record_outflows(w);
        result.reservoir_storage.data.push_back(((indication - outflow) * dt) / 2.0);
        result.reservoir_elevation.data.push_back(t.elevation[k] +
                                                  w * (t.elevation[k + 1] - t.elevation[k]));
        if (counter.stop_requested_after(step_work + walked / 8)) return Error::interrupted();
    }
    return result;
}

}  // namespace vesparil
