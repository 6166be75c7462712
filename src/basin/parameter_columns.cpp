// Parameter columns: the name parsed once per call, then one assignment per member.
#include "basin/parameter_columns.hpp"

#include <cmath>

#include "core/seconds.hpp"
#include "core/units.hpp"

namespace vesparil {

namespace {

struct FieldName {
    const char* method;
    const char* parameter;
    ParameterField field;
};

constexpr FieldName kFields[] = {
    {"subbasin", "area", ParameterField::area},
    {"loss", "initial_deficit", ParameterField::initial_deficit},
    {"loss", "maximum_deficit", ParameterField::maximum_deficit},
    {"loss", "constant_rate", ParameterField::constant_rate},
    {"loss", "recovery", ParameterField::recovery},
    {"transform", "tc", ParameterField::tc},
    {"transform", "storage", ParameterField::storage},
    {"baseflow", "k_duration", ParameterField::k_duration},
    {"baseflow", "gw_fraction", ParameterField::gw_fraction},
    {"baseflow", "initial_q", ParameterField::initial_q},
    {"muskingum", "k", ParameterField::muskingum_k},
    {"muskingum", "x", ParameterField::muskingum_x},
    {"level_pool", "initial_elevation", ParameterField::initial_elevation},
};

bool is_duration(ParameterField field) {
    return field == ParameterField::recovery || field == ParameterField::tc ||
           field == ParameterField::storage || field == ParameterField::k_duration ||
           field == ParameterField::muskingum_k;
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
    bool known_method = false;
    bool found = false;
    for (const FieldName& entry : kFields) {
        if (method != entry.method) continue;
        known_method = true;
        if (parameter == entry.parameter) {
            column.field = entry.field;
            found = true;
        }
    }
    if (!known_method) return fail("unknown method '" + method + "'");
    if (!found) return fail("method '" + method + "' has no parameter '" + parameter + "'");

    const char* wanted = method == "muskingum"    ? "reach"
                         : method == "level_pool" ? "reservoir"
                                                  : "subbasin";
    if (std::string(kind_word(element)) != wanted) {
        return fail("element '" + element_name + "' is a " + kind_word(element) +
                    ", which has no method '" + method + "'");
    }
    if (const auto* subbasin = std::get_if<Subbasin>(&element.method)) {
        if (method == "loss" && !subbasin->loss) {
            return fail("subbasin '" + element_name + "' has no loss method");
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

void apply_parameter(BasinModel& model, const ParameterColumn& column, double value) {
    ElementMethod& method = model.elements[column.element].method;
    const double seconds = value * kSecondsPerHour;
    switch (column.field) {
        case ParameterField::area: std::get<Subbasin>(method).area = value; return;
        case ParameterField::initial_deficit:
            std::get<Subbasin>(method).loss->initial_deficit = value;
            return;
        case ParameterField::maximum_deficit:
            std::get<Subbasin>(method).loss->maximum_deficit = value;
            return;
        case ParameterField::constant_rate:
            std::get<Subbasin>(method).loss->constant_rate = value;
            return;
        case ParameterField::recovery:
            std::get<Subbasin>(method).loss->recovery_seconds = seconds;
            return;
        case ParameterField::tc: std::get<Subbasin>(method).transform.tc_seconds = seconds; return;
        case ParameterField::storage:
            std::get<Subbasin>(method).transform.storage_seconds = seconds;
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
        case ParameterField::muskingum_k: std::get<Reach>(method).routing.k_seconds = seconds; return;
        case ParameterField::muskingum_x: std::get<Reach>(method).routing.x = value; return;
        case ParameterField::initial_elevation:
            std::get<Reservoir>(method).routing.initial_elevation = value;
            return;
    }
}

std::string check_value(const ParameterColumn& column, double value) {
    if (is_duration(column.field) && !(value >= 0.0)) return "a duration must be >= 0 hours";
    if (std::isnan(value)) return "the value is NaN";
    return {};
}

}  // namespace vesparil
