"""Reference-count rows of the basin and its method classes."""

import importlib.util
import pickle

from leak_arguments import HBV_PARAMETERS


def warmed(call, times):
    """call, run `times` times at its first use: the interpreter's own caches that a call fills
    (unpickling by a dotted name fills them over some thousand calls) are full before counting."""
    done = []

    def run(o):
        if not done:
            done.append(True)
            for _ in range(times):
                call(o)
        return call(o)

    return run


ROWS = [
    ("Basin()", lambda o: o.B.Basin(o.hour), None),
    ("Basin() bad step", lambda o: o.B.Basin(60), TypeError),
    ("Basin.add_subbasin", lambda o: o.B.Basin(o.hour).add_subbasin(
        "s", 1.0, None, o.B.Clark(o.hour, o.hour), o.layers), None),
    ("Basin.add_subbasin bad loss", lambda o: o.B.Basin(o.hour).add_subbasin(
        "s", 1.0, o.layer, o.B.Clark(o.hour, o.hour)), TypeError),
    ("Basin.add_reach", lambda o: o.B.Basin(o.hour).add_reach("r", o.B.Muskingum(o.hour, 0.2)),
     None),
    ("Basin.add_reservoir", lambda o: o.B.Basin(o.hour).add_reservoir(
        "p", o.B.LevelPool(o.curve, {"c": o.constant}, 101.0)), None),
    ("Basin.add_junction", lambda o: o.B.Basin(o.hour).add_junction("j", "k"), None),
    ("Basin.add_source taken name", lambda o: o.basin.add_source("north"), ValueError),
    ("Basin.names", lambda o: o.basin.names, None),
    ("Basin.run", lambda o: o.basin.run(o.forcing), None),
    ("Basin.run arrays", lambda o: o.basin.run({"north": o.rain_array}), None),
    ("Basin.run missing rainfall", lambda o: o.basin.run({}), ValueError),
    ("Basin.run bad series", lambda o: o.basin.run({"north": "rain"}), TypeError),
    ("Basin.run_batch", lambda o: o.basin.run_batch(o.table, o.columns, o.forcing, o.observed),
     None),
    ("Basin.run_batch outflows", lambda o: o.basin.run_batch(
        o.table, o.columns, o.forcing, o.observed, metric="nse", threads=2, outflows=True), None),
    ("Basin.run_batch missing and warmup", lambda o: o.basin.run_batch(
        o.table, o.columns, o.forcing, o.observed, missing="omit", warmup=2), None),
    ("Basin.run_batch bad warmup", lambda o: o.basin.run_batch(
        o.table, o.columns, o.forcing, o.observed, warmup=-1), ValueError),
    ("Basin.run_batch bad missing", lambda o: o.basin.run_batch(
        o.table, o.columns, o.forcing, o.observed, missing="drop"), ValueError),
    ("Basin.run_batch bad member", lambda o: o.basin.run_batch(
        -o.table, o.columns, o.forcing, o.observed), ValueError),
    ("Basin.run_batch bad table", lambda o: o.basin.run_batch(
        o.array, o.columns, o.forcing, o.observed), TypeError),
    ("Basin.with_parameters", lambda o: o.basin.with_parameters([0.3, 2.5], o.columns), None),
    ("Basin.to_dict", lambda o: o.basin.to_dict(), None),
    ("Basin.from_dict", lambda o: o.B.Basin.from_dict(o.plain), None),
    ("Basin.from_dict bad", lambda o: o.B.Basin.from_dict({"time_step": 60}), ValueError),
    ("Basin pickled", warmed(lambda o: pickle.loads(pickle.dumps(o.basin)), 2000), None),
    ("BasinRun[]", lambda o: o.basin_run["pool"].outflow, None),
    ("BasinRun[] missing", lambda o: o.basin_run["nowhere"], KeyError),
    ("BasinRun.summary", lambda o: o.basin_run.summary(), None),
    ("BasinRun.to_dataframe", lambda o: o.basin_run.to_dataframe(),
     None if importlib.util.find_spec("pandas") else ImportError),
    ("DeficitAndConstant()", lambda o: o.B.DeficitAndConstant(0.1, 1.0, 0.1, o.hour).recovery,
     None),
    ("Clark() negative tc", lambda o: o.B.Clark(-o.hour, o.hour), ValueError),
    ("Muskingum.k", lambda o: o.B.Muskingum(o.hour, 0.1, 3).k, None),
    ("LevelPool.outlets", lambda o: o.B.LevelPool(o.curve, {"c": o.constant}, 101.0).outlets,
     None),
    ("Muskingum() bad x", lambda o: o.B.Muskingum(o.hour, "x"), TypeError),
    ("LevelPool() bad outlet", lambda o: o.B.LevelPool(o.curve, {"c": o.rating}, 101.0), TypeError),
    ("CurveNumber()", lambda o: o.B.CurveNumber(75.0, 0.05, 3).curve_number, None),
    ("CurveNumber() bad condition", lambda o: o.B.CurveNumber(75.0, 0.2, "wet"), TypeError),
    ("GreenAmpt()", lambda o: o.B.GreenAmpt(0.4, 4.3, 0.3).initial_infiltration, None),
    ("ScsUnitHydrograph()", lambda o: o.B.ScsUnitHydrograph(o.hour, 300.0).lag, None),
    ("ScsUnitHydrograph() negative lag", lambda o: o.B.ScsUnitHydrograph(-o.hour), ValueError),
    ("Snyder()", lambda o: o.B.Snyder(2.0, 0.6, 10.0, 5.0).cp, None),
    ("MuskingumCunge()",
     lambda o: o.B.MuskingumCunge(5e3, 1e-3, 0.04, 20.0, 2.0, None, 3).sub_reaches, None),
    ("MuskingumCunge() bad flow", lambda o: o.B.MuskingumCunge(5e3, 1e-3, 0.04, 20.0, 0.0, "q"),
     TypeError),
    ("StorageIndication()", lambda o: o.B.StorageIndication(o.curve, {"c": o.constant},
                                                            101.0).outlets, None),
    ("StorageIndication() bad outlet",
     lambda o: o.B.StorageIndication(o.curve, {"c": o.rating}, 101.0), TypeError),
    ("Basin.run event methods", lambda o: o.event_basin.run(o.event_forcing), None),
    ("Basin.from_dict event methods",
     lambda o: o.B.Basin.from_dict(o.event_basin.to_dict()), None),
    ("Basin.run_batch event methods", lambda o: o.event_basin.run_batch(
        o.table, o.event_columns, o.event_forcing, o.observed), None),
    ("GR4J()", lambda o: o.B.GR4J(300.0, 0.5, 80.0, 1.7, 0.2).x4, None),
    ("GR4J() bad x1", lambda o: o.B.GR4J("x", 0.5, 80.0, 1.7), TypeError),
    ("HBV()", lambda o: o.B.HBV(*HBV_PARAMETERS, initial_lower_zone=1.0).maxbas, None),
    ("DegreeDaySnow()", lambda o: o.B.DegreeDaySnow(0.0, 3.0, 0.05, 0.1).initial_snowpack, None),
    ("GR4J() with snow", lambda o: o.B.GR4J(300.0, 0.5, 80.0, 1.7, snow=o.B.DegreeDaySnow(
        0.0, 3.0, 0.05, 0.1)).snow, None),
    ("GR4J() bad snow", lambda o: o.B.GR4J(300.0, 0.5, 80.0, 1.7, snow=o.curve), TypeError),
    ("CemaNeige()", lambda o: o.B.CemaNeige(3.0, 0.25, 300.0, [400.0, 900.0], 650.0).elevations,
     None),
    ("CemaNeige() bad elevations", lambda o: o.B.CemaNeige(3.0, 0.25, 300.0, "x", 650.0),
     TypeError),
    ("GR4J() with CemaNeige", lambda o: o.B.GR4J(300.0, 0.5, 80.0, 1.7, snow=o.B.CemaNeige(
        3.0, 0.25, 300.0, [400.0, 900.0], 650.0)).snow, None),
    ("Basin.run continuous models", lambda o: o.lumped_basin.run(o.lumped_forcing), None),
    ("Basin.run continuous model, series missing",
     lambda o: o.lumped_basin.run({"gr": {"precipitation": o.daily[0]}}), ValueError),
    ("Basin.from_dict continuous models",
     lambda o: o.B.Basin.from_dict(o.lumped_basin.to_dict()), None),
    ("Basin.run_batch continuous models", lambda o: o.lumped_basin.run_batch(
        o.table, ["gr.gr4j.x1", "hb.hbv.fc"], o.lumped_forcing, o.daily[1]), None),
    ("Basin.run_batch snow stores", lambda o: o.lumped_basin.run_batch(
        o.table, ["cn.gr4j.kf", "fr.snow.kf"], o.lumped_forcing, o.daily[1]), None),
    ("Basin.run daily front without temperature", lambda o: o.lumped_basin.run(
        {**o.lumped_forcing, "fr": o.lumped_forcing["gr"]}), ValueError),
    ("Basin.add_reach bad routing", lambda o: o.B.Basin(o.hour).add_reach("r", o.curve),
     TypeError),
    ("Oudin()", lambda o: o.B.Oudin(45.0), None),
    ("Oudin() bad latitude", lambda o: o.B.Oudin(91.0), ValueError),
    ("Hargreaves()", lambda o: o.B.Hargreaves(-20.0), None),
    ("Hargreaves() bad latitude", lambda o: o.B.Hargreaves("x"), TypeError),
    ("Hamon()", lambda o: o.B.Hamon(60.0), None),
    ("Basin.add_subbasin evapotranspiration", lambda o: o.B.Basin(o.hour).add_subbasin(
        "s", 1.0, None, o.B.Clark(o.hour, o.hour), evapotranspiration=o.B.Hamon(10.0)), None),
    ("Basin.run evapotranspiration methods", lambda o: o.pet_basin.run(o.pet_forcing), None),
    ("Basin.run evapotranspiration given twice", lambda o: o.pet_basin.run(
        {**o.pet_forcing, "gr": {**o.pet_forcing["gr"], "evapotranspiration": o.daily[1]}}),
     ValueError),
    ("Basin.run evapotranspiration bad day", lambda o: o.pet_basin.run(
        {**o.pet_forcing, "fr": {**o.pet_forcing["fr"], "day_of_year": o.daily[1] * 0.0}}),
     ValueError),
    ("Basin.run_batch evapotranspiration methods", lambda o: o.pet_basin.run_batch(
        o.table, ["gr.gr4j.x1", "hb.hbv.fc"], o.pet_forcing, o.daily[1]), None),
    ("Basin.from_dict evapotranspiration methods",
     lambda o: o.B.Basin.from_dict(o.pet_basin.to_dict()), None),
    ("BasinRun()", lambda o: o.B.BasinRun(), TypeError),
    ("ElementRun()", lambda o: o.B.ElementRun(), TypeError),
    ("Basin.time_step", lambda o: o.basin.time_step, None),
] + [
    (f"{cls}.{attribute}", (lambda make, attribute: lambda o: getattr(make(o), attribute))(
        make, attribute), None)
    for cls, make, attributes in [
        ("DeficitAndConstant", lambda o: o.B.DeficitAndConstant(0.1, 1.0, 0.1, o.hour),
         ["initial_deficit", "maximum_deficit", "constant_rate", "recovery"]),
        ("Clark", lambda o: o.B.Clark(o.hour, 2 * o.hour), ["tc", "storage"]),
        ("Muskingum", lambda o: o.B.Muskingum(o.hour, 0.1, 3), ["x", "sub_reaches"]),
        ("LevelPool", lambda o: o.B.LevelPool(o.curve, {"c": o.constant}, 101.0),
         ["elevation_storage", "initial_elevation"]),
        ("BasinRun", lambda o: o.basin_run, ["names", "time_step"]),
        ("ElementRun", lambda o: o.basin_run["channel"], ["name", "outflow"]),
        ("ElementRun", lambda o: o.basin_run["pool"], ["series"]),
        ("CurveNumber", lambda o: o.B.CurveNumber(75.0),
         ["curve_number", "initial_abstraction_ratio", "antecedent_moisture"]),
        ("GreenAmpt", lambda o: o.B.GreenAmpt(0.4, 4.3, 0.3, 0.1),
         ["hydraulic_conductivity", "suction_head", "moisture_deficit", "initial_infiltration"]),
        ("ScsUnitHydrograph", lambda o: o.B.ScsUnitHydrograph(o.hour), ["lag", "peak_rate_factor"]),
        ("Snyder", lambda o: o.B.Snyder(2.0, 0.6, 10.0, 5.0),
         ["ct", "cp", "stream_length", "centroid_length"]),
        ("MuskingumCunge", lambda o: o.B.MuskingumCunge(5e3, 1e-3, 0.04, 20.0, 2.0, 50.0, 2, 3),
         ["length", "slope", "manning_n", "bottom_width", "side_slope", "reference_flow",
          "sub_reaches", "sub_steps"]),
        ("StorageIndication", lambda o: o.B.StorageIndication(o.curve, {"c": o.constant}, 101.0),
         ["elevation_storage", "outlets", "initial_elevation"]),
        ("GR4J", lambda o: o.B.GR4J(300.0, 0.5, 80.0, 1.7),
         ["x1", "x2", "x3", "x4", "initial_production", "initial_routing", "snow"]),
        ("DegreeDaySnow", lambda o: o.B.DegreeDaySnow(0.0, 3.0, 0.05, 0.1, 2.0),
         ["threshold_temperature", "melt_factor", "refreezing_coefficient", "water_holding",
          "initial_snowpack"]),
        ("CemaNeige", lambda o: o.B.CemaNeige(3.0, 0.25, 300.0, [400.0, 900.0], 650.0),
         ["kf", "ctg", "mean_annual_snowfall", "elevations", "median_elevation",
          "temperature_gradient", "precipitation_gradient"]),
        ("Oudin", lambda o: o.B.Oudin(45.0), ["latitude"]),
        ("Hargreaves", lambda o: o.B.Hargreaves(-20.0), ["latitude"]),
        ("Hamon", lambda o: o.B.Hamon(60.0), ["latitude"]),
        ("HBV", lambda o: o.B.HBV(*HBV_PARAMETERS),
         ["tt", "cfmax", "sfcf", "cfr", "cwh", "fc", "lp", "beta", "perc", "uzl", "k0", "k1",
          "k2", "maxbas", "initial_soil_moisture", "initial_upper_zone", "initial_lower_zone"]),
    ]
    for attribute in attributes
]
