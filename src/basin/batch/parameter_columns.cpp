// Parameter columns: the name parsed once per call, then one assignment per member.
#include "basin/batch/parameter_columns.hpp"

#include <cmath>
#include <iterator>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>

#include "basin/daily/lumped_flow.hpp"
#include "basin/daily/snow_store.hpp"
#include "basin/model/method_tables.hpp"
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
    {"baseflow", "k_duration", ParameterField::k_duration, 0},
    {"baseflow", "gw_fraction", ParameterField::gw_fraction, 0},
    {"baseflow", "initial_q", ParameterField::initial_q, 0},
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
                a.alternative == b.alternative)
                return false;
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

bool is_duration(ParameterField field) { return field == ParameterField::k_duration; }

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

// Field F of Record's table set from a column's value (hours for a duration).
template <class Record, std::size_t F>
void set_field(ElementMethod& method, double value) {
    using Field = std::remove_cvref_t<decltype(std::get<F>(MethodTable<Record>::fields))>;
    Field::in(member<Record>(method)) =
        Field::crossing == Crossing::duration ? value * kSecondsPerHour : value;
}

// What the tables say of a column's method and parameter.
struct TableColumn {
    bool known_method = false;
    bool found = false;
    std::size_t alternative = 0;
    void (*set)(ElementMethod&, double) = nullptr;
    bool duration = false;
};

// Field F of Record (alternative `alternative` of its family), if it is the column: the first
// one found, or the one of the element's own method (`own`).
template <class Record, std::size_t F>
void consider(const std::string& parameter, std::size_t alternative, std::size_t own,
              TableColumn& out) {
    constexpr auto field = std::get<F>(MethodTable<Record>::fields);
    if constexpr (field.column) {
        if (parameter != field.name || (out.found && alternative != own)) return;
        out.found = true;
        out.alternative = alternative;
        out.set = set_field<Record, F>;
        out.duration = decltype(field)::crossing == Crossing::duration;
    }
}

template <class Family, std::size_t... I>
void find_in_tables(const std::string& method, const std::string& parameter, std::size_t own,
                    TableColumn& out, std::index_sequence<I...>) {
    const auto look = [&]<std::size_t A>(std::integral_constant<std::size_t, A>) {
        using Record = std::variant_alternative_t<A, Family>;
        if (method != MethodTable<Record>::column_method) return;
        out.known_method = true;
        [&]<std::size_t... F>(std::index_sequence<F...>) {
            (consider<Record, F>(parameter, A, own, out), ...);
        }(std::make_index_sequence<std::tuple_size_v<decltype(MethodTable<Record>::fields)>>{});
    };
    (look(std::integral_constant<std::size_t, I>{}), ...);
}

template <class Family>
void find_in_tables(const std::string& method, const std::string& parameter, std::size_t own,
                    TableColumn& out) {
    find_in_tables<Family>(method, parameter, own, out,
                           std::make_index_sequence<std::variant_size_v<Family>>{});
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
    // Methods of one family may share a parameter's name: the element's own method's wins.
    const std::size_t own = alternative_of(element, method);
    TableColumn table;
    find_in_tables<LossMethod>(method, parameter, own, table);
    find_in_tables<TransformMethod>(method, parameter, own, table);
    find_in_tables<ReachMethod>(method, parameter, own, table);
    find_in_tables<ReservoirMethod>(method, parameter, own, table);
    bool known_method = table.known_method;
    bool found = table.found;
    std::size_t alternative = table.alternative;
    if (found) {
        column.field = ParameterField::table;
        column.set = table.set;
        column.duration = table.duration;
    }
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

    const char* wanted = method == "muskingum" || method == "muskingum_cunge"       ? "reach"
                         : method == "level_pool" || method == "storage_indication" ? "reservoir"
                                                                                    : "subbasin";
    if (std::string(kind_word(element)) != wanted) {
        return fail("element '" + element_name + "' is a " + kind_word(element) +
                    ", which has no method '" + method + "'");
    }
    if (wanted != std::string("subbasin") && alternative_of(element, method) != alternative) {
        return fail(std::string(wanted) + " '" + element_name + "' has no method '" + method + "'");
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
                return fail("subbasin '" + element_name + "' has no baseflow layer '" + layer_name +
                            "'");
            }
        }
    } else if (method == "baseflow") {
        return fail("expected \"element.baseflow.layer.parameter\"");
    }
    return column;
}

void apply_parameter(BasinModel& model, const ParameterColumn& column, double value) {
    ElementMethod& method = model.elements[column.element].method;
    switch (column.field) {
        case ParameterField::table:
            column.set(method, value);
            return;
        case ParameterField::area:
            std::get<Subbasin>(method).area = value;
            return;
        case ParameterField::k_duration:
            std::get<Subbasin>(method).baseflow[column.layer].second.k_seconds =
                saturating_whole_seconds(value * kSecondsPerHour);
            return;
        case ParameterField::gw_fraction:
            std::get<Subbasin>(method).baseflow[column.layer].second.gw_fraction = value;
            return;
        case ParameterField::initial_q:
            std::get<Subbasin>(method).baseflow[column.layer].second.initial_q = value;
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
    const bool duration = is_duration(column.field) || column.duration;
    if (duration && !(value >= 0.0)) return "a duration must be >= 0 hours";
    if (std::isnan(value)) return "the value is NaN";
    return {};
}

}  // namespace vesparil
