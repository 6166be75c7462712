// A basin run's work (see the header).
#include "basin/run/run_work.hpp"

#include "core/overloaded.hpp"
#include "lumped/gr4j.hpp"
#include "lumped/hbv.hpp"
#include "reservoir_routing/storage_indication.hpp"

namespace vesparil {

namespace {

// What an event element's step costs, whatever its method: the old flat estimate.
constexpr std::uint64_t kElementStepWork = 16;

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
    return b > UINT64_MAX - a ? UINT64_MAX : a + b;
}

std::uint64_t saturating_product(std::uint64_t a, std::uint64_t b) {
    if (a != 0 && b > UINT64_MAX / a) return UINT64_MAX;
    return a * b;
}

const StorageIndicationRouting* indication_of(const Element& element) {
    const auto* reservoir = std::get_if<Reservoir>(&element.method);
    return reservoir != nullptr ? std::get_if<StorageIndicationRouting>(&reservoir->routing)
                                : nullptr;
}

}  // namespace

std::uint64_t step_work(const BasinModel& model) {
    std::uint64_t work = 0;
    for (const Element& element : model.elements) {
        std::uint64_t own = kElementStepWork;
        const auto* subbasin = std::get_if<Subbasin>(&element.method);
        if (subbasin != nullptr && subbasin->continuous) {
            own = std::visit(Overloaded{
                                 [](const Gr4jRunoff& m) { return gr4j_day_work(m.parameters); },
                                 [](const HbvRunoff& m) { return hbv_day_work(m.parameters); },
                             },
                             *subbasin->continuous);
        } else if (const auto* indication = indication_of(element)) {
            own = storage_indication_row_work(indication->pool.outlets.size());
        }
        work = saturating_add(work, own);
    }
    return work;
}

std::uint64_t setup_work(const BasinModel& model) {
    std::uint64_t work = 0;
    for (const Element& element : model.elements) {
        const auto* indication = indication_of(element);
        if (indication == nullptr) continue;
        const LevelPoolRouting& pool = indication->pool;
        work = saturating_add(
            work,
            saturating_product(storage_indication_table_rows(pool.elevation_storage, pool.outlets),
                               storage_indication_row_work(pool.outlets.size())));
    }
    return work;
}

}  // namespace vesparil
