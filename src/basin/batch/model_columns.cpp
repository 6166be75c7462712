// The batch columns of the continuous models, "<sub-basin>.gr4j.<name>" and
// "<sub-basin>.hbv.<name>", GR4J's snow store's among them, and of an event sub-basin's snow
// store, "<sub-basin>.snow.<name>"; an evapotranspiration method has none.
#include "basin/daily/lumped_flow.hpp"
#include "basin/batch/parameter_columns.hpp"
#include "basin/daily/snow_store.hpp"

namespace vesparil {

std::optional<Result<ParameterColumn>> parse_model_column(const BasinModel& model,
                                                          const std::string& name,
                                                          std::size_t at,
                                                          const std::string& method,
                                                          const std::string& parameter) {
    if (method != "gr4j" && method != "hbv" && method != "snow" && method != "evapotranspiration") {
        return std::nullopt;
    }
    const auto fail = [&](const std::string& why) {
        return Result<ParameterColumn>(Error::value("column '" + name + "': " + why));
    };
    const Element& element = model.elements[at];
    const auto* subbasin = std::get_if<Subbasin>(&element.method);
    if (method == "evapotranspiration") {
        // Its latitude describes the catchment: no column.
        if (subbasin == nullptr || !subbasin->evapotranspiration) {
            return fail(std::string(kind_word(element)) + " '" + element.name +
                        "' has no evapotranspiration method");
        }
        return fail("method 'evapotranspiration' has no parameter '" + parameter + "'");
    }
    if (method == "snow") {
        if (subbasin == nullptr || !subbasin->snow) {
            return fail(std::string(kind_word(element)) + " '" + element.name +
                        "' has no snow store");
        }
        auto index = snow_index(parameter);
        if (!index) return fail("method 'snow' has no parameter '" + parameter + "'");
        if (!snow_has(*subbasin->snow, *index)) {
            return fail("the snow store of subbasin '" + element.name + "' has no parameter '" +
                        parameter + "'");
        }
        return Result<ParameterColumn>(
            ParameterColumn{name, at, ParameterField::front_snow, *index});
    }
    if (subbasin == nullptr || !subbasin->continuous ||
        subbasin->continuous->index() != (method == "gr4j" ? 0u : 1u)) {
        return fail(std::string(kind_word(element)) + " '" + element.name + "' has no method '" +
                    method + "'");
    }
    auto index = continuous_index(method, parameter);
    if (!index) return fail("method '" + method + "' has no parameter '" + parameter + "'");
    if (method == "gr4j" && *index >= kGr4jSnowFirst) {
        const auto& snow = std::get<Gr4jRunoff>(*subbasin->continuous).snow;
        if (!snow) return fail("subbasin '" + element.name + "' has no snow store");
        if (!snow_has(*snow, *index - kGr4jSnowFirst)) {
            return fail("the snow store of subbasin '" + element.name + "' has no parameter '" +
                        parameter + "'");
        }
    }
    return Result<ParameterColumn>(
        ParameterColumn{name, at, ParameterField::continuous, *index});
}

}  // namespace vesparil
