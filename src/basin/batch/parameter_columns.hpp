// Parameters named "element.method.parameter", as a batch's columns and for Basin.with_parameters.
//
//   <sub-basin>.subbasin.area                                      acres
//   <sub-basin>.loss.initial_deficit | maximum_deficit | constant_rate
//   <sub-basin>.loss.recovery                                      hours
//   <sub-basin>.transform.tc | storage                             hours
//   <sub-basin>.baseflow.<layer>.k_duration                        hours (kept in whole seconds)
//   <sub-basin>.baseflow.<layer>.gw_fraction | initial_q
//   <reach>.muskingum.k                                            hours
//   <reach>.muskingum.x
//   <reservoir>.level_pool.initial_elevation
//   <sub-basin>.loss.curve_number | initial_abstraction_ratio      curve number
//   <sub-basin>.loss.hydraulic_conductivity | suction_head | moisture_deficit
//                   | initial_infiltration                         Green-Ampt (in/h, in, -, in)
//   <sub-basin>.transform.lag                                      hours (SCS)
//   <sub-basin>.transform.peak_rate_factor                         (SCS)
//   <sub-basin>.transform.ct | cp | stream_length | centroid_length   (Snyder; miles)
//   <reach>.muskingum_cunge.length | slope | manning_n | bottom_width | side_slope   (ft, ft/ft)
//   <reservoir>.storage_indication.initial_elevation
//   <sub-basin>.gr4j.x1 | x2 | x3 | x4 | initial_production | initial_routing
//   <sub-basin>.gr4j.threshold_temperature | melt_factor | refreezing_coefficient
//                   | water_holding | initial_snowpack             (its DegreeDaySnow store)
//   <sub-basin>.gr4j.kf | ctg                                      (its CemaNeige store)
//   <sub-basin>.hbv.tt | cfmax | ... | maxbas | initial_soil_moisture | initial_upper_zone
//                   | initial_lower_zone                           (the constructors' names)
//   <sub-basin>.snow.threshold_temperature | ... | initial_snowpack | kf | ctg
//                                                                  (its front's snow store)
// An evapotranspiration method's latitude is no column ("<sub-basin>.evapotranspiration.latitude"
// is refused).
//
// The event methods' columns are their tables' fields marked kColumn, under the table's
// `column_method` (basin/model/method_tables.hpp). A loss or transform parameter names the
// sub-basin's own method's parameter; another method's is refused.
// A duration in hours becomes hours * 3600 seconds, the same double for every member.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "basin/model/basin_model.hpp"
#include "basin/model/network.hpp"
#include "core/result.hpp"

namespace vesparil {

enum class ParameterField {
    area,
    k_duration,
    gw_fraction,
    initial_q,
    table,       // a field of an event method's table (basin/model/method_tables.hpp), set by `set`
    continuous,  // a GR4J or HBV value, its index in `layer` (basin/daily/lumped_flow.hpp)
    front_snow,  // a value of an event sub-basin's snow store, its index in `layer`
};

struct ParameterColumn {
    std::string name;
    std::size_t element = 0;
    ParameterField field = ParameterField::area;
    std::size_t layer = 0;  // baseflow fields; a continuous model's value index
    // A table's field: sets it in the element's method (a duration given in hours), and whether
    // it is a duration.
    void (*set)(ElementMethod&, double) = nullptr;
    bool duration = false;
};

// Fails with a ValueError naming the column when its element, method or parameter is unknown,
// or when its element has no such method (a sub-basin without a loss).
Result<ParameterColumn> parse_column(const BasinModel& model, const std::string& name);

// A column of a continuous model ("gr4j", "hbv") or of an event sub-basin's snow store ("snow";
// basin/batch/model_columns.cpp): the column or its refusal (always for "evapotranspiration"); none
// when `method` is another one.
std::optional<Result<ParameterColumn>> parse_model_column(const BasinModel& model,
                                                          const std::string& name,
                                                          std::size_t element,
                                                          const std::string& method,
                                                          const std::string& parameter);

// Sets one parameter; nothing is checked here (check_element does that for a whole element).
void apply_parameter(BasinModel& model, const ParameterColumn& column, double value);

// A negative or NaN duration, or a NaN where the element's check would not see it, as the
// message of that value alone; empty when the value may go on to the element's check.
std::string check_value(const ParameterColumn& column, double value);

}  // namespace vesparil
