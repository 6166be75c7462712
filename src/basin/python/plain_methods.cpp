// The methods of each family as plain dicts, and back. A family's original method keeps the
// layout it always had (a loss or transform dict of its fields; the reach's "muskingum", the
// reservoir's "level_pool"); the event methods' loss and transform dicts name themselves under
// "method" ("curve_number", "green_ampt", "scs_unit_hydrograph", "snyder"), and a reach or
// reservoir holds "muskingum_cunge" or "storage_indication" instead, as the batch columns do.
#include "basin/python/plain_fields.hpp"

namespace vesparil {

using namespace binding;

namespace {

bool has_key(const PlainReader& reader, const char* key) {
    return PyDict_GetItemString(reader.dict, key) != nullptr;
}

Ref optional_plain(const std::optional<std::int64_t>& value) {
    return value ? to_python(*value) : Ref::borrow(Py_None);
}

struct LossPlain {
    Ref operator()(const DeficitAndConstantLoss& l) const {
        return plain_dict("initial_deficit", to_python(l.initial_deficit), "maximum_deficit",
                          to_python(l.maximum_deficit), "constant_rate",
                          to_python(l.constant_rate), "recovery", to_python(l.recovery_seconds));
    }
    Ref operator()(const CurveNumberLoss& l) const {
        const CurveNumberParameters& p = l.parameters;
        return plain_dict("method", to_python(std::string("curve_number")), "curve_number",
                          to_python(p.curve_number), "initial_abstraction_ratio",
                          to_python(p.initial_abstraction_ratio), "antecedent_moisture",
                          to_python(p.antecedent_moisture));
    }
    Ref operator()(const GreenAmptLoss& l) const {
        const GreenAmptParameters& p = l.parameters;
        return plain_dict("method", to_python(std::string("green_ampt")),
                          "hydraulic_conductivity", to_python(p.hydraulic_conductivity),
                          "suction_head", to_python(p.suction_head), "moisture_deficit",
                          to_python(p.moisture_deficit), "initial_infiltration",
                          to_python(p.initial_infiltration));
    }
};

struct TransformPlain {
    Ref operator()(const ClarkTransform& t) const {
        return plain_dict("tc", to_python(t.tc_seconds), "storage", to_python(t.storage_seconds));
    }
    Ref operator()(const ScsTransform& t) const {
        return plain_dict("method", to_python(std::string("scs_unit_hydrograph")), "lag",
                          to_python(t.lag_seconds), "peak_rate_factor",
                          to_python(t.peak_rate_factor));
    }
    Ref operator()(const SnyderTransform& t) const {
        return plain_dict("method", to_python(std::string("snyder")), "ct", to_python(t.ct), "cp",
                          to_python(t.cp), "stream_length", to_python(t.stream_length),
                          "centroid_length", to_python(t.centroid_length));
    }
};

Ref cunge_plain(const MuskingumCungeParameters& p) {
    return plain_dict("length", to_python(p.channel.length), "slope", to_python(p.channel.slope),
                      "manning_n", to_python(p.channel.manning_n), "bottom_width",
                      to_python(p.channel.bottom_width), "side_slope",
                      to_python(p.channel.side_slope), "reference_flow",
                      to_python(p.reference_flow), "sub_reaches", optional_plain(p.sub_reaches),
                      "sub_steps", optional_plain(p.sub_steps));
}

}  // namespace

Ref loss_plain(const LossMethod& loss) { return std::visit(LossPlain{}, loss); }

Ref transform_plain(const TransformMethod& transform) {
    return std::visit(TransformPlain{}, transform);
}

void routing_items(const Element& element, PlainItems& items) {
    if (const auto* reach = std::get_if<Reach>(&element.method)) {
        if (const auto* cunge = std::get_if<MuskingumCungeRouting>(&reach->routing)) {
            items.emplace_back("muskingum_cunge", cunge_plain(cunge->parameters));
            return;
        }
        const MuskingumRouting& routing = std::get<MuskingumRouting>(reach->routing);
        items.emplace_back("muskingum", plain_dict("k", to_python(routing.k_seconds), "x",
                                                   to_python(routing.x), "sub_reaches",
                                                   to_python(routing.sub_reaches)));
    } else if (const auto* reservoir = std::get_if<Reservoir>(&element.method)) {
        const auto* indication = std::get_if<StorageIndicationRouting>(&reservoir->routing);
        const LevelPoolRouting& routing =
            indication ? indication->pool : std::get<LevelPoolRouting>(reservoir->routing);
        items.emplace_back(
            indication ? "storage_indication" : "level_pool",
            plain_dict("elevation_storage",
                       curve_plain(routing.elevation_storage.elevation, "storage",
                                   routing.elevation_storage.storage),
                       "outlets", to_python_dict(routing.outlets, outlet_plain),
                       "initial_elevation", to_python(routing.initial_elevation)));
    }
}

Result<LossMethod> loss_from(PlainReader& reader) {
    std::string method;
    if (has_key(reader, "method") && !reader.read("method", method)) return reader.error();
    if (method.empty()) {
        DeficitAndConstantLoss l;
        if (!reader.read("initial_deficit", l.initial_deficit) ||
            !reader.read("maximum_deficit", l.maximum_deficit) ||
            !reader.read("constant_rate", l.constant_rate) ||
            !reader.read("recovery", l.recovery_seconds)) {
            return reader.error();
        }
        return LossMethod{l};
    }
    if (method == "curve_number") {
        CurveNumberLoss l;
        if (!reader.read("curve_number", l.parameters.curve_number) ||
            !reader.read("initial_abstraction_ratio", l.parameters.initial_abstraction_ratio) ||
            !reader.read("antecedent_moisture", l.parameters.antecedent_moisture)) {
            return reader.error();
        }
        return LossMethod{l};
    }
    if (method == "green_ampt") {
        GreenAmptLoss l;
        GreenAmptParameters& p = l.parameters;
        if (!reader.read("hydraulic_conductivity", p.hydraulic_conductivity) ||
            !reader.read("suction_head", p.suction_head) ||
            !reader.read("moisture_deficit", p.moisture_deficit) ||
            !reader.read("initial_infiltration", p.initial_infiltration)) {
            return reader.error();
        }
        return LossMethod{l};
    }
    return Error::value(reader.path + ": unknown loss method '" + method + "'");
}

Result<TransformMethod> transform_from(PlainReader& reader) {
    std::string method;
    if (has_key(reader, "method") && !reader.read("method", method)) return reader.error();
    if (method.empty()) {
        ClarkTransform t;
        if (!reader.read("tc", t.tc_seconds) || !reader.read("storage", t.storage_seconds)) {
            return reader.error();
        }
        return TransformMethod{t};
    }
    if (method == "scs_unit_hydrograph") {
        ScsTransform t;
        if (!reader.read("lag", t.lag_seconds) ||
            !reader.read("peak_rate_factor", t.peak_rate_factor)) {
            return reader.error();
        }
        return TransformMethod{t};
    }
    if (method == "snyder") {
        SnyderTransform t;
        if (!reader.read("ct", t.ct) || !reader.read("cp", t.cp) ||
            !reader.read("stream_length", t.stream_length) ||
            !reader.read("centroid_length", t.centroid_length)) {
            return reader.error();
        }
        return TransformMethod{t};
    }
    return Error::value(reader.path + ": unknown transform method '" + method + "'");
}

Result<ReachMethod> reach_from(PlainReader& reader) {
    PlainReader routing;
    if (has_key(reader, "muskingum_cunge")) {
        MuskingumCungeRouting cunge;
        MuskingumCungeParameters& p = cunge.parameters;
        if (!reader.nested("muskingum_cunge", routing) ||
            !routing.read("length", p.channel.length) ||
            !routing.read("slope", p.channel.slope) ||
            !routing.read("manning_n", p.channel.manning_n) ||
            !routing.read("bottom_width", p.channel.bottom_width) ||
            !routing.read("side_slope", p.channel.side_slope) ||
            !routing.read("reference_flow", p.reference_flow) ||
            !routing.read("sub_reaches", p.sub_reaches) ||
            !routing.read("sub_steps", p.sub_steps)) {
            return routing.failed() ? routing.error() : reader.error();
        }
        return ReachMethod{cunge};
    }
    MuskingumRouting muskingum;
    if (!reader.nested("muskingum", routing) || !routing.read("k", muskingum.k_seconds) ||
        !routing.read("x", muskingum.x) || !routing.read("sub_reaches", muskingum.sub_reaches)) {
        return routing.failed() ? routing.error() : reader.error();
    }
    return ReachMethod{muskingum};
}

Result<ReservoirMethod> reservoir_from(PlainReader& reader) {
    const bool indication = has_key(reader, "storage_indication");
    auto routing = reader.level_pool(indication ? "storage_indication" : "level_pool");
    if (!routing) return std::move(routing).error();
    if (indication) return ReservoirMethod{StorageIndicationRouting{std::move(routing).value()}};
    return ReservoirMethod{std::move(routing).value()};
}

}  // namespace vesparil
