// The tables of the basin's event methods, one per method (basin/model/method_fields.hpp):
// DeficitAndConstant, CurveNumber, GreenAmpt (loss), Clark, ScsUnitHydrograph, Snyder
// (transform), Muskingum and MuskingumCunge (reach), LevelPool and StorageIndication
// (reservoir), HBV and the DegreeDaySnow store. From a table come the method's Python class
// (basin/python/method_descriptor.hpp), its plain data (basin/python/plain_methods.cpp) and its
// batch columns (basin/batch/parameter_columns.cpp). Each class holds one method's parameters
// for one element, named as the standalone function's (the sub-basin's area stands for the unit
// hydrographs' basin_area); durations are timedelta objects, kept in seconds with their
// microseconds. `word` names the method in plain data (a family's first method writes none),
// `column_method` in a batch column.
#pragma once

#include <cstddef>
#include <tuple>

#include "basin/model/basin_model.hpp"
#include "basin/model/method_fields.hpp"

namespace vesparil {

template <>
struct MethodTable<DeficitAndConstantLoss> {
    using R = DeficitAndConstantLoss;
    static constexpr const char* name = "DeficitAndConstant";
    static constexpr const char* word = "deficit_and_constant";
    static constexpr const char* column_method = "loss";
    static constexpr const char* doc =
        "DeficitAndConstant(initial_deficit, maximum_deficit, constant_rate, recovery)\n--\n\n"
        "Deficit-and-constant rainfall loss of a sub-basin (see run_deficit_and_constant).";
    static constexpr std::size_t required = 4;
    static constexpr auto fields = std::tuple{
        number<&R::initial_deficit>("initial_deficit",
                                    "Soil-moisture deficit at the start (inches).", kColumn),
        number<&R::maximum_deficit>("maximum_deficit",
                                    "Largest deficit the soil recovers to (inches).", kColumn),
        number<&R::constant_rate>("constant_rate", "Constant loss rate (inches per hour).",
                                  kColumn),
        duration<&R::recovery_seconds>("recovery", "Drying time of the deficit's recovery.",
                                       kColumn),
    };
};

template <>
struct MethodTable<CurveNumberLoss> {
    using R = CurveNumberLoss;
    using P = CurveNumberParameters;
    static constexpr const char* name = "CurveNumber";
    static constexpr const char* word = "curve_number";
    static constexpr const char* column_method = "loss";
    static constexpr const char* doc =
        "CurveNumber(curve_number, initial_abstraction_ratio=0.2, antecedent_moisture=2)\n--\n\n"
        "SCS curve-number rainfall loss of a sub-basin (see run_curve_number).";
    static constexpr std::size_t required = 1;
    static constexpr auto fields = std::tuple{
        number<&R::parameters, &P::curve_number>(
            "curve_number", "Curve number for the antecedent moisture below.", kColumn),
        number<&R::parameters, &P::initial_abstraction_ratio>(
            "initial_abstraction_ratio",
            "Initial abstraction as a share of the retention (lambda).", kColumn),
        number<&R::parameters, &P::antecedent_moisture>(
            "antecedent_moisture", "Antecedent moisture condition of the run: 1, 2 or 3."),
    };
};

template <>
struct MethodTable<GreenAmptLoss> {
    using R = GreenAmptLoss;
    using P = GreenAmptParameters;
    static constexpr const char* name = "GreenAmpt";
    static constexpr const char* word = "green_ampt";
    static constexpr const char* column_method = "loss";
    static constexpr const char* doc =
        "GreenAmpt(hydraulic_conductivity, suction_head, moisture_deficit, "
        "initial_infiltration=0.0)\n--\n\n"
        "Green-Ampt rainfall loss of a sub-basin (see run_green_ampt).";
    static constexpr std::size_t required = 3;
    static constexpr auto fields = std::tuple{
        number<&R::parameters, &P::hydraulic_conductivity>(
            "hydraulic_conductivity", "Hydraulic conductivity K (inches per hour).", kColumn),
        number<&R::parameters, &P::suction_head>("suction_head",
                                                 "Wetting-front suction head (inches).", kColumn),
        number<&R::parameters, &P::moisture_deficit>(
            "moisture_deficit", "Moisture deficit (share of the volume).", kColumn),
        number<&R::parameters, &P::initial_infiltration>(
            "initial_infiltration", "Cumulative infiltration at the start (inches).", kColumn),
    };
};

template <>
struct MethodTable<ClarkTransform> {
    using R = ClarkTransform;
    static constexpr const char* name = "Clark";
    static constexpr const char* word = "clark";
    static constexpr const char* column_method = "transform";
    static constexpr const char* doc =
        "Clark(tc, storage)\n--\n\n"
        "Clark unit hydrograph transform of a sub-basin (see run_clark_uh).";
    static constexpr std::size_t required = 2;
    static constexpr auto fields = std::tuple{
        duration<&R::tc_seconds>("tc", "Time of concentration.", kColumn),
        duration<&R::storage_seconds>("storage", "Storage coefficient of the linear reservoir.",
                                      kColumn),
    };
};

template <>
struct MethodTable<ScsTransform> {
    using R = ScsTransform;
    static constexpr const char* name = "ScsUnitHydrograph";
    static constexpr const char* word = "scs_unit_hydrograph";
    static constexpr const char* column_method = "transform";
    static constexpr const char* doc =
        "ScsUnitHydrograph(lag, peak_rate_factor=484.0)\n--\n\n"
        "SCS dimensionless unit hydrograph transform of a sub-basin, on its area (see\n"
        "run_scs_uh).";
    static constexpr std::size_t required = 1;
    static constexpr auto fields = std::tuple{
        duration<&R::lag_seconds>("lag", "Lag from the excess's centroid to the peak.", kColumn),
        number<&R::peak_rate_factor>("peak_rate_factor",
                                     "Peak rate factor (484 for the handbook's table).", kColumn),
    };
};

template <>
struct MethodTable<SnyderTransform> {
    using R = SnyderTransform;
    static constexpr const char* name = "Snyder";
    static constexpr const char* word = "snyder";
    static constexpr const char* column_method = "transform";
    static constexpr const char* doc =
        "Snyder(ct, cp, stream_length, centroid_length)\n--\n\n"
        "Snyder's unit hydrograph transform of a sub-basin, on its area (see run_snyder_uh).";
    static constexpr std::size_t required = 4;
    static constexpr auto fields = std::tuple{
        number<&R::ct>("ct", "Lag coefficient.", kColumn),
        number<&R::cp>("cp", "Peaking coefficient.", kColumn),
        number<&R::stream_length>("stream_length", "Main stream length (miles).", kColumn),
        number<&R::centroid_length>("centroid_length",
                                    "Stream length to the basin's centroid (miles).", kColumn),
    };
};

template <>
struct MethodTable<MuskingumRouting> {
    using R = MuskingumRouting;
    static constexpr const char* name = "Muskingum";
    static constexpr const char* word = "muskingum";
    static constexpr const char* column_method = "muskingum";
    static constexpr const char* doc =
        "Muskingum(k, x, sub_reaches=1)\n--\n\n"
        "Muskingum routing of a reach (see run_muskingum_routing).";
    static constexpr std::size_t required = 2;
    static constexpr auto fields = std::tuple{
        duration<&R::k_seconds>("k", "Storage constant of the whole reach.", kColumn),
        number<&R::x>("x", "Weighting factor.", kColumn),
        number<&R::sub_reaches>("sub_reaches", "Equal segments routed one after another."),
    };
};

template <>
struct MethodTable<MuskingumCungeRouting> {
    using R = MuskingumCungeRouting;
    using P = MuskingumCungeParameters;
    using C = ChannelSection;
    static constexpr const char* name = "MuskingumCunge";
    static constexpr const char* word = "muskingum_cunge";
    static constexpr const char* column_method = "muskingum_cunge";
    static constexpr const char* doc =
        "MuskingumCunge(length, slope, manning_n, bottom_width, side_slope=0.0, "
        "reference_flow=None, sub_reaches=None, sub_steps=None)\n--\n\n"
        "Muskingum-Cunge routing of a reach from its channel (see "
        "run_muskingum_cunge_routing).";
    static constexpr std::size_t required = 4;
    static constexpr auto fields = std::tuple{
        number<&R::parameters, &P::channel, &C::length>("length", "Reach length (ft).", kColumn),
        number<&R::parameters, &P::channel, &C::slope>("slope", "Bed slope (ft/ft).", kColumn),
        number<&R::parameters, &P::channel, &C::manning_n>("manning_n", "Manning's n.", kColumn),
        number<&R::parameters, &P::channel, &C::bottom_width>("bottom_width", "Bottom width (ft).",
                                                              kColumn),
        number<&R::parameters, &P::channel, &C::side_slope>(
            "side_slope", "Side slope, horizontal per vertical (0: rectangular).", kColumn),
        number<&R::parameters, &P::reference_flow>(
            "reference_flow", "Flow of constant parameters, or None for variable ones (cfs)."),
        number<&R::parameters, &P::sub_reaches>("sub_reaches",
                                                "Sub-reaches, or None for the method's choice."),
        number<&R::parameters, &P::sub_steps>(
            "sub_steps", "Sub-steps per step, or None for the method's choice."),
    };
};

template <>
struct MethodTable<HbvRunoff> {
    using R = HbvRunoff;
    using P = HbvParameters;
    static constexpr const char* name = "HBV";
    static constexpr const char* word = "hbv";
    static constexpr const char* column_method = "hbv";
    static constexpr const char* doc =
        "HBV(tt, cfmax, sfcf, cfr, cwh, fc, lp, beta, perc, uzl, k0, k1, k2, maxbas, "
        "initial_soil_moisture=0.5, initial_upper_zone=0.0, initial_lower_zone=0.0)\n--\n\n"
        "HBV as the whole runoff of a sub-basin on a daily basin (see run_hbv): its forcing\n"
        "is a dict of \"precipitation\", \"temperature\" (deg C) and \"evapotranspiration\"\n"
        "(mm/day).";
    static constexpr std::size_t required = 14;
    static constexpr auto fields = std::tuple{
        number<&R::parameters, &P::tt>("tt", "Threshold temperature (deg C).", kColumn),
        number<&R::parameters, &P::cfmax>("cfmax", "Degree-day factor (mm/(deg C day)).",
                                          kColumn),
        number<&R::parameters, &P::sfcf>("sfcf", "Snowfall correction factor.", kColumn),
        number<&R::parameters, &P::cfr>("cfr", "Refreezing coefficient.", kColumn),
        number<&R::parameters, &P::cwh>("cwh", "Water holding capacity of the snowpack.",
                                        kColumn),
        number<&R::parameters, &P::fc>("fc", "Field capacity (mm).", kColumn),
        number<&R::parameters, &P::lp>(
            "lp", "Share of fc above which evapotranspiration is potential.", kColumn),
        number<&R::parameters, &P::beta>("beta", "Shape of the recharge.", kColumn),
        number<&R::parameters, &P::perc>("perc", "Percolation (mm/day).", kColumn),
        number<&R::parameters, &P::uzl>("uzl", "Upper zone threshold (mm).", kColumn),
        number<&R::parameters, &P::k0>("k0", "Quick recession (per day).", kColumn),
        number<&R::parameters, &P::k1>("k1", "Upper zone recession (per day).", kColumn),
        number<&R::parameters, &P::k2>("k2", "Lower zone recession (per day).", kColumn),
        number<&R::parameters, &P::maxbas>("maxbas", "Routing base (days).", kColumn),
        number<&R::initial_soil_moisture>(
            "initial_soil_moisture", "Soil moisture at the start, as a share of fc.", kColumn),
        number<&R::initial_upper_zone>("initial_upper_zone", "Upper zone at the start (mm).",
                                       kColumn),
        number<&R::initial_lower_zone>("initial_lower_zone", "Lower zone at the start (mm).",
                                       kColumn),
    };
};

template <>
struct MethodTable<DegreeDaySnow> {
    using R = DegreeDaySnow;
    using P = DegreeDayParameters;
    static constexpr const char* name = "DegreeDaySnow";
    static constexpr const char* word = "degree_day";
    static constexpr const char* column_method = "snow";
    static constexpr const char* doc =
        "DegreeDaySnow(threshold_temperature, melt_factor, refreezing_coefficient, "
        "water_holding, initial_snowpack=0.0)\n--\n\n"
        "A degree-day snow store in front of GR4J (see snow.run_degree_day_snow).";
    static constexpr std::size_t required = 4;
    static constexpr auto fields = std::tuple{
        number<&R::parameters, &P::threshold_temperature>(
            "threshold_temperature", "Threshold temperature (deg C).", kColumn),
        number<&R::parameters, &P::melt_factor>("melt_factor",
                                                "Degree-day factor (mm/(deg C day)).", kColumn),
        number<&R::parameters, &P::refreezing_coefficient>(
            "refreezing_coefficient", "Refreezing coefficient.", kColumn),
        number<&R::parameters, &P::water_holding>(
            "water_holding", "Water holding capacity of the snowpack.", kColumn),
        number<&R::initial_snowpack>("initial_snowpack", "Snowpack at the start (mm).", kColumn),
    };
};

template <>
struct MethodTable<LevelPoolRouting> {
    using R = LevelPoolRouting;
    static constexpr const char* name = "LevelPool";
    static constexpr const char* word = "level_pool";
    static constexpr const char* column_method = "level_pool";
    static constexpr const char* doc =
        "LevelPool(elevation_storage, outlets, initial_elevation)\n--\n\n"
        "Level pool routing of a reservoir (see run_level_pool_routing); `outlets` is a dict\n"
        "of outlet objects, asked in its order.";
    static constexpr std::size_t required = 3;
    static constexpr auto fields = std::tuple{
        record<&R::elevation_storage>("elevation_storage", "Elevation-storage curve of the pool."),
        named_records<&R::outlets>("outlets", "Outlets by name, in order."),
        number<&R::initial_elevation>("initial_elevation",
                                      "Water surface elevation at the start.", kColumn),
    };
};

template <>
struct MethodTable<StorageIndicationRouting> {
    using R = StorageIndicationRouting;
    using P = LevelPoolRouting;
    static constexpr const char* name = "StorageIndication";
    static constexpr const char* word = "storage_indication";
    static constexpr const char* column_method = "storage_indication";
    static constexpr const char* doc =
        "StorageIndication(elevation_storage, outlets, initial_elevation)\n--\n\n"
        "Storage-indication routing of a reservoir at the basin's step (see\n"
        "run_storage_indication_routing); `outlets` is a dict of outlet objects, asked in\n"
        "its order.";
    static constexpr std::size_t required = 3;
    static constexpr auto fields = std::tuple{
        record<&R::pool, &P::elevation_storage>("elevation_storage",
                                                "Elevation-storage curve of the pool."),
        named_records<&R::pool, &P::outlets>("outlets", "Outlets by name, in order."),
        number<&R::pool, &P::initial_elevation>("initial_elevation",
                                                "Water surface elevation at the start.", kColumn),
    };
};

}  // namespace vesparil
