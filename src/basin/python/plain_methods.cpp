// The methods of each family as plain dicts, and back. A family's original method keeps the
// layout it always had (a loss or transform dict of its fields; the reach's "muskingum", the
// reservoir's "level_pool"); the event methods' loss and transform dicts name themselves under
// "method" ("curve_number", "green_ampt", "scs_unit_hydrograph", "snyder"), and a reach or
// reservoir holds "muskingum_cunge" or "storage_indication" instead, as the batch columns do.
// The event methods' fields come from their tables (basin/model/method_tables.hpp).
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

#include "basin/python/method_descriptor.hpp"
#include "basin/python/plain_fields.hpp"

namespace vesparil::basin_classes {

namespace {

// The alternative of `Family` whose plain word is `word` (the first alternative's is empty: its
// dict does not name itself), read from `reader`; none when no alternative has that word.
template <class Family, std::size_t... I>
std::optional<Result<Family>> read_named(PlainReader& reader, const std::string& word,
                                         std::index_sequence<I...>) {
    std::optional<Result<Family>> found;
    const auto read = [&](auto alternative) {
        using Record = std::variant_alternative_t<decltype(alternative)::value, Family>;
        const std::string own = decltype(alternative)::value == 0 ? "" : MethodClass<Record>::word;
        if (found || word != own) return;
        auto made = method_from<Record>(reader);
        found = made ? Result<Family>(Family{std::move(made).value()})
                     : Result<Family>(std::move(made).error());
    };
    (read(std::integral_constant<std::size_t, I>{}), ...);
    return found;
}

// A loss or transform dict: the original method's fields, or {"method": word, fields}.
template <class Family>
Result<Family> family_from(PlainReader& reader, const char* family) {
    std::string method;
    if (!reader.absent("method") && !reader.read("method", method)) return reader.error();
    auto found =
        read_named<Family>(reader, method, std::make_index_sequence<std::variant_size_v<Family>>{});
    if (found) return std::move(*found);
    return Error::value(reader.path + ": unknown " + family + " method '" + method + "'");
}

template <class Family>
binding::Ref family_plain(const Family& method) {
    return std::visit([&](const auto& m) { return method_plain(m, method.index() != 0); }, method);
}

}  // namespace

}  // namespace vesparil::basin_classes

namespace vesparil {

using namespace binding;

using basin_classes::MethodClass;

binding::Ref loss_plain(const LossMethod& loss) { return basin_classes::family_plain(loss); }

binding::Ref transform_plain(const TransformMethod& transform) {
    return basin_classes::family_plain(transform);
}

Result<LossMethod> loss_from(PlainReader& reader) {
    return basin_classes::family_from<LossMethod>(reader, "loss");
}

Result<TransformMethod> transform_from(PlainReader& reader) {
    return basin_classes::family_from<TransformMethod>(reader, "transform");
}

// A reach's method under the key of its word, its dict holding its fields.
void reach_items(const ReachMethod& method, PlainItems& items) {
    std::visit(
        [&](const auto& m) {
            using Record = std::remove_cvref_t<decltype(m)>;
            items.emplace_back(MethodClass<Record>::word, basin_classes::method_plain(m, false));
        },
        method);
}

Result<ReachMethod> reach_from(PlainReader& reader) {
    const bool cunge = !reader.absent(MethodClass<MuskingumCungeRouting>::word);
    PlainReader routing;
    if (!reader.nested(
            cunge ? MethodClass<MuskingumCungeRouting>::word : MethodClass<MuskingumRouting>::word,
            routing)) {
        return reader.error();
    }
    if (cunge) {
        auto made = basin_classes::method_from<MuskingumCungeRouting>(routing);
        if (!made) return std::move(made).error();
        return ReachMethod{std::move(made).value()};
    }
    auto made = basin_classes::method_from<MuskingumRouting>(routing);
    if (!made) return std::move(made).error();
    return ReachMethod{std::move(made).value()};
}

void routing_items(const Element& element, PlainItems& items) {
    if (const auto* reach = std::get_if<Reach>(&element.method)) {
        reach_items(reach->routing, items);
    } else if (const auto* reservoir = std::get_if<Reservoir>(&element.method)) {
        const auto* indication = std::get_if<StorageIndicationRouting>(&reservoir->routing);
        const LevelPoolRouting& routing =
            indication ? indication->pool : std::get<LevelPoolRouting>(reservoir->routing);
        items.emplace_back(indication ? "storage_indication" : "level_pool",
                           plain_dict("elevation_storage",
                                      curve_plain(routing.elevation_storage.elevation, "storage",
                                                  routing.elevation_storage.storage),
                                      "outlets", to_python_dict(routing.outlets, outlet_plain),
                                      "initial_elevation", to_python(routing.initial_elevation)));
    }
}

Result<ReservoirMethod> reservoir_from(PlainReader& reader) {
    const bool indication = !reader.absent("storage_indication");
    auto routing = reader.level_pool(indication ? "storage_indication" : "level_pool");
    if (!routing) return std::move(routing).error();
    if (indication) return ReservoirMethod{StorageIndicationRouting{std::move(routing).value()}};
    return ReservoirMethod{std::move(routing).value()};
}

}  // namespace vesparil
