// Parameter columns: the name parsed once per call, then one assignment per member.
#include "basin/batch/parameter_columns.hpp"

#include <cmath>
#include <iterator>
#include <type_traits>

#include "basin/daily/lumped_flow.hpp"
#include "basin/daily/snow_store.hpp"
#include "core/seconds.hpp"
#include "core/units.hpp"

namespace vesparil {

namespace {

struct FieldName {
    const char* method;
    const char* parameter;
    ParameterField field;
    std::size_t alternative;  // of the family's variant that has the parameter
};

constexpr FieldName kFields[] = {
    {"subbasin", "area", ParameterField::area, 0},
    {"loss", "initial_deficit", ParameterField::initial_deficit, 0},
    {"loss", "maximum_deficit", ParameterField::maximum_deficit, 0},
    {"loss", "constant_rate", ParameterField::constant_rate, 0},
    {"loss", "recovery", ParameterField::recovery, 0},
    {"transform", "tc", ParameterField::tc, 0},
    {"transform", "storage", ParameterField::storage, 0},
    {"baseflow", "k_duration", ParameterField::k_duration, 0},
    {"baseflow", "gw_fraction", ParameterField::gw_fraction, 0},
    {"baseflow", "initial_q", ParameterField::initial_q, 0},
    {"muskingum", "k", ParameterField::muskingum_k, 0},
    {"muskingum", "x", ParameterField::muskingum_x, 0},
    {"level_pool", "initial_elevation", ParameterField::initial_elevation, 0},
    {"loss", "curve_number", ParameterField::curve_number, 1},
    {"loss", "initial_abstraction_ratio", ParameterField::initial_abstraction_ratio, 1},
    {"loss", "hydraulic_conductivity", ParameterField::hydraulic_conductivity, 2},
    {"loss", "suction_head", ParameterField::suction_head, 2},
    {"loss", "moisture_deficit", ParameterField::moisture_deficit, 2},
    {"loss", "initial_infiltration", ParameterField::initial_infiltration, 2},
    {"transform", "lag", ParameterField::lag, 1},
    {"transform", "peak_rate_factor", ParameterField::peak_rate_factor, 1},
    {"transform", "ct", ParameterField::ct, 2},
    {"transform", "cp", ParameterField::cp, 2},
    {"transform", "stream_length", ParameterField::stream_length, 2},
    {"transform", "centroid_length", ParameterField::centroid_length, 2},
    {"muskingum_cunge", "length", ParameterField::channel_length, 1},
    {"muskingum_cunge", "slope", ParameterField::channel_slope, 1},
    {"muskingum_cunge", "manning_n", ParameterField::manning_n, 1},
    {"muskingum_cunge", "bottom_width", ParameterField::bottom_width, 1},
    {"muskingum_cunge", "side_slope", ParameterField::side_slope, 1},
    {"storage_indication", "initial_elevation", ParameterField::indication_initial_elevation, 1},
};

constexpr bool same_text(const char* a, const char* b) {
    return *a == *b && (*a == '\0' || same_text(a + 1, b + 1));
}
// A column is its method, parameter and alternative: two rows naming one would hide one.
constexpr bool columns_distinct() {
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        for (std::size_t j = i + 1; j < std::size(kFields); ++j) {
            const FieldName &a = kFields[i], &b = kFields[j];
            if (same_text(a.method, b.method) && same_text(a.parameter, b.parameter) &&
                a.alternative == b.alternative) return false;
        }
    }
    return true;
}
static_assert(columns_distinct(), "two rows of kFields name the same column");

// Which alternative of its family's variant the element has, for the family of `method`.
std::size_t alternative_of(const Element& element, const std::string& method) {
    if (const auto* subbasin = std::get_if<Subbasin>(&element.method)) {
        if (method == "loss") return subbasin->loss ? subbasin->loss->index() : 0;
        if (method == "transform") return subbasin->transform.index();
        return 0;
    }
    if (const auto* reach = std::get_if<Reach>(&element.method)) return reach->routing.index();
    if (const auto* reservoir = std::get_if<Reservoir>(&element.method)) {
        return reservoir->routing.index();
    }
    return 0;
}

bool is_duration(ParameterField field) {
    return field == ParameterField::recovery || field == ParameterField::tc ||
           field == ParameterField::storage || field == ParameterField::k_duration ||
           field == ParameterField::muskingum_k || field == ParameterField::lag;
}

}  // namespace

Result<ParameterColumn> parse_column(const BasinModel& model, const std::string& name) {
    const auto fail = [&](const std::string& why) {
        return Error::value("column '" + name + "': " + why);
    };
    const std::size_t first_dot = name.find('.');
    const std::size_t last_dot = name.rfind('.');
    if (first_dot == std::string::npos || first_dot == last_dot) {
        return fail("expected \"element.method.parameter\"");
    }
    ParameterColumn column{name, 0, ParameterField::area, 0};
    const std::string element_name = name.substr(0, first_dot);
    std::string method = name.substr(first_dot + 1, last_dot - first_dot - 1);
    const std::string parameter = name.substr(last_dot + 1);
    column.element = find_element(model, element_name);
    if (column.element == kNoElement) return fail("no element '" + element_name + "'");
    const Element& element = model.elements[column.element];

    // A baseflow method names its layer: "baseflow.<layer>".
    std::string layer_name;
    if (method.rfind("baseflow.", 0) == 0) {
        layer_name = method.substr(9);
        method = "baseflow";
    }
    auto model_column = parse_model_column(model, name, column.element, method, parameter);
    if (model_column) return std::move(*model_column);
    const auto* subbasin = std::get_if<Subbasin>(&element.method);
    const bool continuous = subbasin != nullptr && subbasin->continuous;
    if (continuous && method == "transform") {
        return fail("subbasin '" + element_name + "' is run by a continuous model");
    }
    bool known_method = false;
    bool found = false;
    std::size_t alternative = 0;
    // Methods of one family may share a parameter's name: the element's own method's row wins.
    const std::size_t own = alternative_of(element, method);
    for (const FieldName& entry : kFields) {
        if (method != entry.method) continue;
        known_method = true;
        if (parameter == entry.parameter && (!found || entry.alternative == own)) {
            column.field = entry.field;
            alternative = entry.alternative;
            found = true;
        }
    }
    if (!known_method) return fail("unknown method '" + method + "'");
    if (!found) return fail("method '" + method + "' has no parameter '" + parameter + "'");

    const char* wanted =
        method == "muskingum" || method == "muskingum_cunge"          ? "reach"
        : method == "level_pool" || method == "storage_indication" ? "reservoir"
                                                                      : "subbasin";
    if (std::string(kind_word(element)) != wanted) {
        return fail("element '" + element_name + "' is a " + kind_word(element) +
                    ", which has no method '" + method + "'");
    }
    if (wanted != std::string("subbasin") && alternative_of(element, method) != alternative) {
        return fail(std::string(wanted) + " '" + element_name + "' has no method '" + method +
                    "'");
    }
    if (const auto* subbasin = std::get_if<Subbasin>(&element.method)) {
        if (method == "loss" && !subbasin->loss) {
            return fail("subbasin '" + element_name + "' has no loss method");
        }
        if ((method == "loss" || method == "transform") &&
            alternative_of(element, method) != alternative) {
            return fail("the " + method + " method of subbasin '" + element_name +
                        "' has no parameter '" + parameter + "'");
        }
        if (method == "baseflow") {
            column.layer = subbasin->baseflow.size();
            for (std::size_t k = 0; k < subbasin->baseflow.size(); ++k) {
                if (subbasin->baseflow[k].first == layer_name) column.layer = k;
            }
            if (column.layer == subbasin->baseflow.size()) {
                return fail("subbasin '" + element_name + "' has no baseflow layer '" +
                            layer_name + "'");
            }
        }
    } else if (method == "baseflow") {
        return fail("expected \"element.baseflow.layer.parameter\"");
    }
    return column;
}

namespace {

// The method record a parsed column names (parse_column made sure the element has it).
template <class Method>
Method& member(ElementMethod& method) {
    if constexpr (std::is_same_v<Method, MuskingumRouting> ||
                  std::is_same_v<Method, MuskingumCungeRouting>) {
        return std::get<Method>(std::get<Reach>(method).routing);
    } else if constexpr (std::is_same_v<Method, LevelPoolRouting> ||
                         std::is_same_v<Method, StorageIndicationRouting>) {
        return std::get<Method>(std::get<Reservoir>(method).routing);
    } else if constexpr (std::is_same_v<Method, ClarkTransform> ||
                         std::is_same_v<Method, ScsTransform> ||
                         std::is_same_v<Method, SnyderTransform>) {
        return std::get<Method>(std::get<Subbasin>(method).transform);
    } else {
        return std::get<Method>(*std::get<Subbasin>(method).loss);
    }
}

DeficitAndConstantLoss& deficit(ElementMethod& method) {
    return member<DeficitAndConstantLoss>(method);
}
CurveNumberParameters& curve_number(ElementMethod& method) {
    return member<CurveNumberLoss>(method).parameters;
}
GreenAmptParameters& green_ampt(ElementMethod& method) {
    return member<GreenAmptLoss>(method).parameters;
}
ChannelSection& channel(ElementMethod& method) {
    return member<MuskingumCungeRouting>(method).parameters.channel;
}

}  // namespace

void apply_parameter(BasinModel& model, const ParameterColumn& column, double value) {
    ElementMethod& method = model.elements[column.element].method;
    const double seconds = value * kSecondsPerHour;
    switch (column.field) {
        case ParameterField::area: std::get<Subbasin>(method).area = value; return;
        case ParameterField::initial_deficit:
            deficit(method).initial_deficit = value;
            return;
        case ParameterField::maximum_deficit:
            deficit(method).maximum_deficit = value;
            return;
        case ParameterField::constant_rate:
            deficit(method).constant_rate = value;
            return;
        case ParameterField::recovery:
            deficit(method).recovery_seconds = seconds;
            return;
        case ParameterField::tc: member<ClarkTransform>(method).tc_seconds = seconds; return;
        case ParameterField::storage:
            member<ClarkTransform>(method).storage_seconds = seconds;
            return;
        case ParameterField::k_duration:
            std::get<Subbasin>(method).baseflow[column.layer].second.k_seconds =
                saturating_whole_seconds(seconds);
            return;
        case ParameterField::gw_fraction:
            std::get<Subbasin>(method).baseflow[column.layer].second.gw_fraction = value;
            return;
        case ParameterField::initial_q:
            std::get<Subbasin>(method).baseflow[column.layer].second.initial_q = value;
            return;
        case ParameterField::muskingum_k:
            member<MuskingumRouting>(method).k_seconds = seconds;
            return;
        case ParameterField::muskingum_x: member<MuskingumRouting>(method).x = value; return;
        case ParameterField::initial_elevation:
            member<LevelPoolRouting>(method).initial_elevation = value;
            return;
        case ParameterField::curve_number: curve_number(method).curve_number = value; return;
        case ParameterField::initial_abstraction_ratio:
            curve_number(method).initial_abstraction_ratio = value;
            return;
        case ParameterField::hydraulic_conductivity:
            green_ampt(method).hydraulic_conductivity = value;
            return;
        case ParameterField::suction_head: green_ampt(method).suction_head = value; return;
        case ParameterField::moisture_deficit: green_ampt(method).moisture_deficit = value; return;
        case ParameterField::initial_infiltration:
            green_ampt(method).initial_infiltration = value;
            return;
        case ParameterField::lag: member<ScsTransform>(method).lag_seconds = seconds; return;
        case ParameterField::peak_rate_factor:
            member<ScsTransform>(method).peak_rate_factor = value;
            return;
        case ParameterField::ct: member<SnyderTransform>(method).ct = value; return;
        case ParameterField::cp: member<SnyderTransform>(method).cp = value; return;
        case ParameterField::stream_length:
            member<SnyderTransform>(method).stream_length = value;
            return;
        case ParameterField::centroid_length:
            member<SnyderTransform>(method).centroid_length = value;
            return;
        case ParameterField::channel_length: channel(method).length = value; return;
        case ParameterField::channel_slope: channel(method).slope = value; return;
        case ParameterField::manning_n: channel(method).manning_n = value; return;
        case ParameterField::bottom_width: channel(method).bottom_width = value; return;
        case ParameterField::side_slope: channel(method).side_slope = value; return;
        case ParameterField::indication_initial_elevation:
            member<StorageIndicationRouting>(method).pool.initial_elevation = value;
            return;
        case ParameterField::continuous:
            continuous_value(*std::get<Subbasin>(method).continuous, column.layer) = value;
            return;
        case ParameterField::front_snow:
            snow_value(*std::get<Subbasin>(method).snow, column.layer) = value;
            return;
    }
}

std::string check_value(const ParameterColumn& column, double value) {
    if (is_duration(column.field) && !(value >= 0.0)) return "a duration must be >= 0 hours";
    if (std::isnan(value)) return "the value is NaN";
    return {};
}

}  // namespace vesparil
