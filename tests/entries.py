"""The one table of the module's public entries.

Every name of every `__all__` has a row here, and so has every method and attribute of every
public class (test_entries.py walks the module and fails for anything without one). The
cross-cutting tests take their lists from this table or check their own rows against it: the
module tree (registration order, signatures), the leak tests, the fuzzer, the digests that the
test runner compares across builds, and the user guide. A new entry is one row here; the tests
then say which of those tables still lack it.

Row names in the cross-cutting tables follow one convention: a function by its name
(`run_clark_uh`), a constructor as `Class()`, a method or attribute as `Class.name`; a row may add
words after a space (`calculate_kge arrays`).
"""

TOP_ALL = [
    "utils", "reach", "reservoir", "rainfall_transform", "rainfall_loss", "baseflow", "metrics", "basin",
    "lumped", "evapotranspiration", "snow",
]

# Registration order of every submodule, keyed by its path below the top module.
SUBMODULE_ALL = {
    "utils": ["ContinuousTimeSeries", "IncrementalTimeSeries"],
    "reach": ["run_muskingum_routing", "run_muskingum_cunge_routing"],
    "reservoir": ["reservoir_utils", "run_level_pool_routing", "LevelPoolResult",
                  "run_storage_indication_routing"],
    "reservoir.reservoir_utils": [
        "ElevationDischarge",
        "ElevationStorage",
        "ControlledDischargeInfo",
        "UnControlledDischargeInfo",
        "SpecifiedDischargeInfo",
        "ConstantDischargeInfo",
    ],
    "rainfall_transform": ["run_clark_uh", "run_scs_uh", "run_snyder_uh",
                           "calculate_snyder_parameters", "SnyderParameters"],
    "rainfall_loss": [
        "DeficitConstantResult", "run_deficit_and_constant", "CurveNumberResult", "run_curve_number",
        "GreenAmptResult", "run_green_ampt"],
    "baseflow": ["run_linear_reservoir", "LinearReservoir"],
    "metrics": ["calculate_kge", "calculate_nse", "calculate_kge_components", "KgeComponents",
                "calculate_pbias", "calculate_rmse", "calculate_mae", "calculate_pearson_r"],
    "basin": [
        "Basin", "DeficitAndConstant", "Clark", "Muskingum", "LevelPool", "BasinRun", "ElementRun",
        "CurveNumber", "GreenAmpt", "ScsUnitHydrograph", "Snyder", "MuskingumCunge",
        "StorageIndication", "GR4J", "HBV", "DegreeDaySnow", "CemaNeige", "Oudin", "Hargreaves",
        "Hamon",
    ],
    "lumped": ["run_gr4j", "GR4JResult", "run_hbv", "HBVResult"],
    "evapotranspiration": ["calculate_extraterrestrial_radiation", "calculate_pet_oudin",
                           "calculate_pet_hargreaves", "calculate_pet_hamon"],
    "snow": ["run_degree_day_snow", "DegreeDaySnowResult", "run_cemaneige", "CemaNeigeResult"],
}

# path -> (text signature, the guide page that documents it)
FUNCTIONS = {
    "reach.run_muskingum_routing": ("(inflow, k, x, sub_reaches, initial_outflow)", "muskingum.md"),
    "reservoir.run_level_pool_routing": (
        "(inflow, initial_elevation, elevation_storage, discharge_info)", "level_pool.md"),
    "reach.run_muskingum_cunge_routing": (
        "(inflow, length, slope, manning_n, bottom_width, side_slope=0.0, reference_flow=None, "
        "sub_reaches=None, sub_steps=None)", "event_routing.md"),
    "reservoir.run_storage_indication_routing": (
        "(inflow, initial_elevation, elevation_storage, discharge_info)", "event_routing.md"),
    "rainfall_transform.run_clark_uh": ("(rainfall, basin_area, tc, storage_r)", "clark.md"),
    "rainfall_loss.run_deficit_and_constant": (
        "(rainfall, initial_deficit, max_deficit, constant_loss_per_hr, time_to_dry)", "loss.md"),
    "baseflow.run_linear_reservoir": ("(basin_area, rainfall, reservoirs)", "baseflow.md"),
    "rainfall_loss.run_curve_number": (
        "(rainfall, curve_number, initial_abstraction_ratio=0.2, antecedent_moisture=2)",
        "event_loss.md"),
    "rainfall_loss.run_green_ampt": (
        "(rainfall, hydraulic_conductivity, suction_head, moisture_deficit, "
        "initial_infiltration=0.0)", "event_loss.md"),
    "rainfall_transform.run_scs_uh": ("(rainfall, basin_area, lag, peak_rate_factor=484.0)",
                                      "unit_hydrographs.md"),
    "rainfall_transform.run_snyder_uh": (
        "(rainfall, basin_area, ct, cp, stream_length, centroid_length, *, time_base='triangle')",
        "unit_hydrographs.md"),
    "rainfall_transform.calculate_snyder_parameters": (
        "(basin_area, ct, cp, stream_length, centroid_length, time_step=None, *, "
        "time_base='triangle')", "unit_hydrographs.md"),
    "metrics.calculate_kge": ("(sim, obs, use_log=False)", "kge.md"),
    "lumped.run_gr4j": ("(precipitation, evapotranspiration, x1, x2, x3, x4, "
                        "initial_production=0.3, initial_routing=0.5, warmup=0)", "gr4j.md"),
    "lumped.run_hbv": ("(precipitation, temperature, evapotranspiration, tt, cfmax, sfcf, cfr, "
                       "cwh, fc, lp, beta, perc, uzl, k0, k1, k2, maxbas, "
                       "initial_soil_moisture=0.5, initial_upper_zone=0.0, "
                       "initial_lower_zone=0.0, warmup=0)", "hbv.md"),
    "evapotranspiration.calculate_extraterrestrial_radiation": ("(latitude, day_of_year)",
                                                                "evapotranspiration.md"),
    "evapotranspiration.calculate_pet_oudin": ("(temperature, latitude, day_of_year)",
                                               "evapotranspiration.md"),
    "evapotranspiration.calculate_pet_hargreaves": (
        "(temperature_min, temperature_max, latitude, day_of_year)", "evapotranspiration.md"),
    "evapotranspiration.calculate_pet_hamon": ("(temperature, latitude, day_of_year)",
                                               "evapotranspiration.md"),
    "snow.run_degree_day_snow": (
        "(precipitation, temperature, threshold_temperature, melt_factor, refreezing_coefficient, "
        "water_holding, initial_snowpack=0.0, warmup=0)", "snow.md"),
    "snow.run_cemaneige": (
        "(precipitation, temperature, kf, ctg, mean_annual_snowfall, elevations, median_elevation, "
        "temperature_gradient=-0.65, precipitation_gradient=0.0004, warmup=0)", "snow.md"),
    "metrics.calculate_nse": (
        "(sim, obs, use_log=False, *, epsilon=None, missing='propagate', out=None)", "metrics.md"),
    "metrics.calculate_kge_components": (
        "(sim, obs, *, variant='2009', missing='propagate', out=None)", "metrics.md"),
    "metrics.calculate_pbias": ("(sim, obs, *, missing='propagate', out=None)", "metrics.md"),
    "metrics.calculate_rmse": ("(sim, obs, *, missing='propagate', out=None)", "metrics.md"),
    "metrics.calculate_mae": ("(sim, obs, *, missing='propagate', out=None)", "metrics.md"),
    "metrics.calculate_pearson_r": ("(sim, obs, *, missing='propagate', out=None)", "metrics.md"),
}

RU = "reservoir.reservoir_utils"
SERIES_ATTRIBUTES = ["data", "kind", "time_step"]
# path -> (constructor text signature or None when not constructible, can be subclassed,
#          {method: text signature}, [attributes], the guide page that documents it)
CLASSES = {
    "utils.ContinuousTimeSeries": ("(data, time_step, kind)", True, {"total_duration": "($self)"},
                                   SERIES_ATTRIBUTES, "data.md"),
    "utils.IncrementalTimeSeries": (
        "(data, time_step, kind)",
        True,
        {"total_duration": "($self)", "disaggregate": "($self, target_step)"},
        SERIES_ATTRIBUTES, "data.md",
    ),
    "reservoir.LevelPoolResult": (None, True, {}, [
        "reservoir_storage", "reservoir_elevation", "reservoir_total_outflow",
        "reservoir_individual_outflows"], "level_pool.md"),
    f"{RU}.ElevationStorage": (
        "(elevation, storage)",
        True,
        {"get_storage": "($self, elevation)", "get_elevation": "($self, storage)"},
        ["elevation", "storage"], "level_pool.md",
    ),
    f"{RU}.ElevationDischarge": ("(elevation, discharge)", True, {}, ["elevation", "discharge"],
                                 "level_pool.md"),
    f"{RU}.ConstantDischargeInfo": (
        "(discharge, minimum_elevation=None, maximum_elevation=None)", True, {},
        ["discharge", "minimum_elevation", "maximum_elevation"], "level_pool.md",
    ),
    f"{RU}.SpecifiedDischargeInfo": (
        "(discharge, minimum_elevation=None, maximum_elevation=None, maximum_release=None)", True, {},
        ["discharge", "minimum_elevation", "maximum_elevation", "maximum_release"], "level_pool.md",
    ),
    f"{RU}.ControlledDischargeInfo": (
        "(elevation_discharge, minimum_elevation=None, maximum_elevation=None, maximum_release=None)",
        True, {},
        ["elevation_discharge", "minimum_elevation", "maximum_elevation", "maximum_release"],
        "level_pool.md",
    ),
    f"{RU}.UnControlledDischargeInfo": ("(elevation_discharge, elevation_offset=None)", True, {},
                                        ["elevation_discharge", "elevation_offset"], "level_pool.md"),
    "rainfall_loss.DeficitConstantResult": (None, True, {}, ["excess", "loss", "deficit"], "loss.md"),
    "rainfall_loss.CurveNumberResult": (None, True, {}, ["excess", "loss"], "event_loss.md"),
    "rainfall_loss.GreenAmptResult": (None, True, {}, ["excess", "loss"], "event_loss.md"),
    "baseflow.LinearReservoir": ("(k_duration, gw_fraction, initial_q, num_reservoir=1)", False, {},
                                 ["gw_fraction", "initial_q", "num_reservoir", "k_duration"],
                                 "baseflow.md"),
    "metrics.KgeComponents": (None, True, {}, ["kge", "r", "variability", "bias"], "metrics.md"),
    "rainfall_transform.SnyderParameters": (None, True, {}, [
        "lag", "standard_duration", "duration", "adjusted_lag", "peak_rate", "peak_time",
        "peak_discharge", "w50", "w75", "time_base", "sketch"], "unit_hydrographs.md"),
    "basin.Basin": ("(time_step)", False, {
        "add_subbasin": (
            "($self, name, area, loss, transform, baseflow=None, downstream=None, snow=None, "
            "evapotranspiration=None)"),
        "add_reach": "($self, name, routing, downstream=None)",
        "add_reservoir": "($self, name, routing, downstream=None)",
        "add_junction": "($self, name, downstream=None)",
        "add_source": "($self, name, downstream=None)",
        "run": "($self, forcing)",
        "run_batch": (
            "($self, parameters, columns, forcing, observed, at=None, metric='kge', threads=None,"
            " outflows=False, missing=None, warmup=0)"
        ),
        "with_parameters": "($self, values, columns)",
        "to_dict": "($self)",
        "from_dict": "($type, plain)",
    }, ["time_step", "names"], "basin.md"),
    "basin.DeficitAndConstant": (
        "(initial_deficit, maximum_deficit, constant_rate, recovery)", False, {},
        ["initial_deficit", "maximum_deficit", "constant_rate", "recovery"], "basin.md"),
    "basin.Clark": ("(tc, storage)", False, {}, ["tc", "storage"], "basin.md"),
    "basin.Muskingum": ("(k, x, sub_reaches=1)", False, {}, ["k", "x", "sub_reaches"],
                        "basin.md"),
    "basin.LevelPool": ("(elevation_storage, outlets, initial_elevation)", False, {},
                        ["elevation_storage", "outlets", "initial_elevation"], "basin.md"),
    "basin.BasinRun": (None, True, {"summary": "($self)", "to_dataframe": "($self, start=None)"},
                       ["names", "time_step"], "basin.md"),
    "basin.ElementRun": (None, True, {}, ["name", "outflow", "series"], "basin.md"),
    "basin.CurveNumber": ("(curve_number, initial_abstraction_ratio=0.2, antecedent_moisture=2)",
                          False, {},
                          ["curve_number", "initial_abstraction_ratio", "antecedent_moisture"],
                          "basin.md"),
    "basin.GreenAmpt": (
        "(hydraulic_conductivity, suction_head, moisture_deficit, initial_infiltration=0.0)", False,
        {}, ["hydraulic_conductivity", "suction_head", "moisture_deficit", "initial_infiltration"],
        "basin.md"),
    "basin.ScsUnitHydrograph": ("(lag, peak_rate_factor=484.0)", False, {},
                                ["lag", "peak_rate_factor"], "basin.md"),
    "basin.Snyder": ("(ct, cp, stream_length, centroid_length)", False, {},
                     ["ct", "cp", "stream_length", "centroid_length"], "basin.md"),
    "basin.MuskingumCunge": (
        "(length, slope, manning_n, bottom_width, side_slope=0.0, reference_flow=None, "
        "sub_reaches=None, sub_steps=None)", False, {},
        ["length", "slope", "manning_n", "bottom_width", "side_slope", "reference_flow",
         "sub_reaches", "sub_steps"], "basin.md"),
    "basin.StorageIndication": ("(elevation_storage, outlets, initial_elevation)", False, {},
                                ["elevation_storage", "outlets", "initial_elevation"], "basin.md"),
    "basin.GR4J": ("(x1, x2, x3, x4, initial_production=0.3, initial_routing=0.5, snow=None)",
                   False, {},
                   ["x1", "x2", "x3", "x4", "initial_production", "initial_routing", "snow"],
                   "basin.md"),
    "basin.HBV": (
        "(tt, cfmax, sfcf, cfr, cwh, fc, lp, beta, perc, uzl, k0, k1, k2, maxbas, "
        "initial_soil_moisture=0.5, initial_upper_zone=0.0, initial_lower_zone=0.0)", False, {},
        ["tt", "cfmax", "sfcf", "cfr", "cwh", "fc", "lp", "beta", "perc", "uzl", "k0", "k1", "k2",
         "maxbas", "initial_soil_moisture", "initial_upper_zone", "initial_lower_zone"],
        "basin.md"),
    "basin.DegreeDaySnow": (
        "(threshold_temperature, melt_factor, refreezing_coefficient, water_holding, "
        "initial_snowpack=0.0)", False, {},
        ["threshold_temperature", "melt_factor", "refreezing_coefficient", "water_holding",
         "initial_snowpack"], "basin.md"),
    "basin.CemaNeige": (
        "(kf, ctg, mean_annual_snowfall, elevations, median_elevation, temperature_gradient=-0.65, "
        "precipitation_gradient=0.0004)", False, {},
        ["kf", "ctg", "mean_annual_snowfall", "elevations", "median_elevation",
         "temperature_gradient", "precipitation_gradient"], "basin.md"),
    "basin.Oudin": ("(latitude)", False, {}, ["latitude"], "basin.md"),
    "basin.Hargreaves": ("(latitude)", False, {}, ["latitude"], "basin.md"),
    "basin.Hamon": ("(latitude)", False, {}, ["latitude"], "basin.md"),
    "lumped.GR4JResult": (None, True, {}, [
        "flow", "production_store", "routing_store", "unit_hydrograph_store",
        "actual_evapotranspiration", "exchange"], "gr4j.md"),
    "lumped.HBVResult": (None, True, {}, [
        "flow", "snowpack", "snow_water", "soil_moisture", "upper_zone", "lower_zone",
        "routing_store", "actual_evapotranspiration", "recharge", "snowfall"], "hbv.md"),
    "snow.DegreeDaySnowResult": (
        None, True, {}, ["outflow", "snowpack", "snow_water", "snowfall", "melt"], "snow.md"),
    "snow.CemaNeigeResult": (
        None, True, {}, ["liquid_water", "snowpack", "melt", "snowfall", "thermal_state"],
        "snow.md"),
}

# Classes that pickle (through their own __reduce__) and so say where they can be imported from:
# path -> (__module__, __qualname__).
IMPORTABLE_AS = {"basin.Basin": ("vesparil", "basin.Basin")}

# Entries whose results the digests compare across builds: every function that computes, and
# every method that does.
COMPUTING = [path.rsplit(".", 1)[-1] for path in FUNCTIONS] + [
    "IncrementalTimeSeries.disaggregate", "ElevationStorage.get_storage",
    "ElevationStorage.get_elevation", "Basin.run", "Basin.run_batch", "BasinRun.summary"]


def short(path):
    return path.rsplit(".", 1)[-1]


def row_names(calls=True, attributes=True):
    """The row names the cross-cutting tables must cover: functions, constructors and methods
    (`calls`), and attributes."""
    names = []
    if calls:
        names += [short(path) for path in FUNCTIONS]
    for path, (_, _, methods, attrs, _) in CLASSES.items():
        name = short(path)
        if calls:
            names += [f"{name}()"] + [f"{name}.{method}" for method in methods]
        if attributes:
            names += [f"{name}.{attribute}" for attribute in attrs]
    return names


def missing_rows(table_rows, required):
    """The required names that no row of a table covers (a row covers a name it equals or that
    it starts with, followed by a space)."""
    rows = list(table_rows)
    return [name for name in required
            if not any(row == name or row.startswith(name + " ") for row in rows)]
