"""Fuzz rows of the basin and its method classes."""

import math
from datetime import datetime, timedelta

import numpy as np
from hypothesis import strategies as st

import vesparil
from fuzz_arguments import (durations, float_values, layer_dicts, names, outlet_dicts, steps,
                            sub_reaches, vectors)
from fuzz_calls import Call, Param, as_series, constructs, floats_list, getters, is_float, p
from fuzz_instances import CEMANEIGE_NAMES, HBV_INITIAL, HBV_NAMES, SNOW_NAMES, storage_curves
from fuzz_values import ES, LR, floats

# The basin: its constructors, and runs of one small basin with drawn forcing and parameters.
B = vesparil.basin


def small_basin():
    model = B.Basin(timedelta(hours=1))
    model.add_subbasin("north", 640.0, B.DeficitAndConstant(0.5, 2.0, 0.15, timedelta(days=5)),
                       B.Clark(timedelta(hours=3), timedelta(hours=2)),
                       {"deep": LR(timedelta(days=20), 0.5, 4.0)}, "channel")
    model.add_reach("channel", B.Muskingum(timedelta(hours=1), 0.2, 2))
    return model


def event_basin():
    model = B.Basin(timedelta(hours=1))
    model.add_subbasin("north", 640.0, B.CurveNumber(75.0), B.ScsUnitHydrograph(timedelta(hours=2)),
                       {"deep": LR(timedelta(days=20), 0.5, 4.0)}, "channel")
    model.add_subbasin("south", 320.0, B.GreenAmpt(0.4, 4.3, 0.3), B.Snyder(2.0, 0.6, 2.0, 1.0),
                       {}, "channel")
    model.add_reach("channel", B.MuskingumCunge(2e4, 1e-3, 0.04, 20.0, 2.0))
    return model


BASIN = small_basin()


def pet_basin():
    model = B.Basin(timedelta(days=1))
    model.add_subbasin("north", 640.0, None, B.GR4J(300.0, 0.5, 80.0, 1.7), {}, "out",
                       evapotranspiration=B.Oudin(45.0))
    model.add_subbasin("south", 320.0, B.CurveNumber(75.0),
                       B.Clark(timedelta(days=2), timedelta(days=3)), {}, "out",
                       evapotranspiration=B.Hargreaves(-30.0))
    model.add_junction("out")
    return model


PET_BASIN = pet_basin()


@st.composite
def pet_forcings(draw):
    """Daily forcing of PET_BASIN: days of year mostly in 1 to 366, extremes that mostly keep
    their order."""
    n = draw(st.integers(1, 30))
    series = lambda values: draw(st.lists(values, min_size=n, max_size=n))  # noqa: E731
    days = lambda: series(st.one_of(st.integers(1, 366), st.integers(-1, 368)))  # noqa: E731
    low = series(st.floats(-40.0, 40.0))
    spread = series(st.one_of(st.floats(0.0, 20.0), floats))
    return {"north": {"precipitation": series(floats), "temperature": series(floats),
                      "day_of_year": days()},
            "south": {"precipitation": series(floats), "temperature_min": low,
                      "temperature_max": [t + d for t, d in zip(low, spread)],
                      "day_of_year": [float(d) for d in days()]}}


EVENT_BASIN = event_basin()
BASIN_RUN = BASIN.run({"north": [0.0, 0.5, 0.2] + [0.0] * 9})
HOUR_ = timedelta(hours=1)
returns_none = lambda r, t: r is None  # noqa: E731


def to_dataframe(start=None):
    """BasinRun.to_dataframe, or "no pandas" where pandas is not installed (an optional
    dependency, whose absence has its own test in test_basin.py)."""
    try:
        return BASIN_RUN.to_dataframe(start)
    except ImportError:
        return "no pandas"


BATCH_COLUMNS = ["north.loss.initial_deficit", "north.subbasin.area", "channel.muskingum.x"]
tables = st.lists(st.lists(st.floats(allow_nan=True), min_size=3, max_size=3), max_size=5).map(
    lambda rows: np.array(rows, dtype=np.float64).reshape(-1, 3))
forcings = st.lists(floats, min_size=1, max_size=40).map(lambda rain: {"north": rain})
event_forcings = st.lists(floats, min_size=1, max_size=40).map(
    lambda rain: {"north": rain, "south": rain[::-1]})
scores = lambda r, t: type(r) is list and all(type(v) is float for v in r)  # noqa: E731


def batch_result(r, t):
    """N scores, or with outflows=True the pair (scores, an N x 12 float64 array)."""
    if type(r) is not tuple:
        return scores(r, t)
    return (len(r) == 2 and scores(r[0], t) and type(r[1]) is np.ndarray
            and r[1].dtype == np.float64 and r[1].shape == (len(r[0]), 12))


# Instances for the getters and arguments: a method class refuses at construction the values
# its method refuses whatever the basin, so these are drawn from valid ranges.
pool_curves = storage_curves().filter(lambda curve: len(curve.elevation) >= 2)
SNOW_STORES = [B.DegreeDaySnow(0.0, 3.0, 0.05, 0.1, 2.0),
               B.CemaNeige(3.0, 0.25, 100.0, [400.0, 900.0], 650.0)]

ROWS = [
    Call("Basin()", st.just(B.Basin), [p("time_step", steps)], constructs),
    Call("DeficitAndConstant()", st.just(B.DeficitAndConstant),
         [p("initial_deficit", float_values), p("maximum_deficit", float_values),
          p("constant_rate", float_values), p("recovery", durations)], constructs),
    Call("Clark()", st.just(B.Clark), [p("tc", durations), p("storage", durations)], constructs),
    Call("Muskingum()", st.just(B.Muskingum),
         [p("k", durations), p("x", float_values), p("sub_reaches", sub_reaches, False)],
         constructs),
    Call("Basin.run", st.just(BASIN.run), [p("forcing", forcings)],
         lambda r, t: type(r) is B.BasinRun),
    Call("Basin.run event methods", st.just(EVENT_BASIN.run), [p("forcing", event_forcings)],
         lambda r, t: type(r) is B.BasinRun),
    Call("Basin.run_batch", st.just(BASIN.run_batch),
         [p("parameters", tables), p("columns", st.just(BATCH_COLUMNS)),
          p("forcing", st.just({"north": [0.0, 0.5, 0.2] + [0.0] * 9})),
          p("observed", st.lists(floats, min_size=12, max_size=12)),
          p("at", st.sampled_from([None, "north", "nowhere"]), False),
          p("metric", st.sampled_from(["kge", "nse"]), False),
          p("threads", st.integers(1, 3), False), p("outflows", st.booleans(), False),
          p("missing", st.sampled_from(["propagate", "omit", "raise", "drop"]), False),
          p("warmup", st.integers(-2, 13), False)], batch_result),
    Call("Basin.from_dict", st.just(B.Basin.from_dict),
         [p("plain", st.just(BASIN.to_dict()))], lambda r, t: type(r) is B.Basin),
    Call("Basin.add_subbasin", st.builds(small_basin).map(lambda b: b.add_subbasin),
         [p("name", names), p("area", float_values),
          p("loss", st.one_of(st.none(), st.just(B.DeficitAndConstant(0.1, 1.0, 0.1, HOUR_)),
                              st.just(B.CurveNumber(80.0)), st.just(B.GreenAmpt(0.4, 4.3, 0.3)))),
          p("transform", st.sampled_from([B.Clark(HOUR_, HOUR_), B.ScsUnitHydrograph(HOUR_),
                                          B.Snyder(2.0, 0.6, 2.0, 1.0)])), p("baseflow", layer_dicts, False),
          p("downstream", st.one_of(st.none(), names), False),
          p("snow", st.sampled_from([None, B.DegreeDaySnow(0.0, 3.0, 0.05, 0.1),
                                     B.CemaNeige(3.0, 0.25, 100.0, [400.0], 400.0)]), False),
          p("evapotranspiration", st.sampled_from([None, B.Oudin(45.0), B.Hargreaves(-10.0),
                                                   B.Hamon(60.0)]), False)],
         returns_none),
    Call("Basin.add_reach", st.builds(small_basin).map(lambda b: b.add_reach),
         [p("name", names), p("routing", st.sampled_from(
             [B.Muskingum(HOUR_, 0.2), B.MuskingumCunge(1e4, 1e-3, 0.04, 10.0)])),
          p("downstream", st.one_of(st.none(), names), False)], returns_none),
    Call("Basin.add_reservoir", st.builds(small_basin).map(lambda b: b.add_reservoir),
         [p("name", names), p("routing", pool_curves.flatmap(
             lambda curve: st.sampled_from([B.LevelPool(curve, {}, curve.elevation[0]),
                                            B.StorageIndication(curve, {}, curve.elevation[0])]))),
          p("downstream", st.one_of(st.none(), names), False)], returns_none),
    Call("Basin.add_junction", st.builds(small_basin).map(lambda b: b.add_junction),
         [p("name", names), p("downstream", st.one_of(st.none(), names), False)], returns_none),
    Call("Basin.add_source", st.builds(small_basin).map(lambda b: b.add_source),
         [p("name", names), p("downstream", st.one_of(st.none(), names), False)], returns_none),
    Call("Basin.with_parameters", st.just(BASIN.with_parameters),
         [p("values", st.lists(float_values, min_size=3, max_size=3)),
          p("columns", st.just(BATCH_COLUMNS))], lambda r, t: type(r) is B.Basin),
    Call("Basin.to_dict", st.just(BASIN.to_dict), [], lambda r, t: type(r) is dict),
    Call("LevelPool()", st.just(B.LevelPool),
         [p("elevation_storage", storage_curves()), p("outlets", outlet_dicts),
          p("initial_elevation", float_values)], constructs),
    Call("BasinRun()", st.just(B.BasinRun), [], constructs),
    Call("ElementRun()", st.just(B.ElementRun), [], constructs),
    Call("BasinRun.summary", st.just(BASIN_RUN.summary), [], lambda r, t: type(r) is dict),
    Call("BasinRun.to_dataframe", st.just(to_dataframe),
         [Param("start", st.one_of(st.none(), st.datetimes(datetime(1900, 1, 1),
                                                            datetime(2200, 1, 1))), False)],
         lambda r, t: type(r).__name__ == "DataFrame" or r == "no pandas"),
    *getters("Basin", st.just(BASIN), {"time_step": lambda v: type(v) is timedelta,
                                       "names": lambda v: v == ["north", "channel"]}),
    *getters("DeficitAndConstant", st.just(B.DeficitAndConstant(0.1, 1.0, 0.1, HOUR_)),
             {"initial_deficit": is_float, "maximum_deficit": is_float, "constant_rate": is_float,
              "recovery": lambda v: v == HOUR_}),
    *getters("Clark", st.builds(B.Clark, durations, durations),
             {"tc": lambda v: type(v) is timedelta, "storage": lambda v: type(v) is timedelta}),
    *getters("Muskingum", st.builds(B.Muskingum, durations, st.floats(0.0, 0.5),
                                    st.integers(1, 30)),
             {"k": lambda v: type(v) is timedelta, "x": is_float,
              "sub_reaches": lambda v: type(v) is int}),
    *getters("LevelPool", pool_curves.map(lambda c: B.LevelPool(c, {}, c.elevation[0])),
             {"elevation_storage": lambda v: type(v) is ES, "outlets": lambda v: v == {},
              "initial_elevation": is_float}),
    Call("CurveNumber()", st.just(B.CurveNumber),
         [p("curve_number", float_values), p("initial_abstraction_ratio", float_values, False),
          p("antecedent_moisture", sub_reaches, False)], constructs),
    Call("GreenAmpt()", st.just(B.GreenAmpt),
         [p("hydraulic_conductivity", float_values), p("suction_head", float_values),
          p("moisture_deficit", float_values), p("initial_infiltration", float_values, False)],
         constructs),
    Call("ScsUnitHydrograph()", st.just(B.ScsUnitHydrograph),
         [p("lag", durations), p("peak_rate_factor", float_values, False)], constructs),
    Call("Snyder()", st.just(B.Snyder),
         [p("ct", float_values), p("cp", float_values), p("stream_length", float_values),
          p("centroid_length", float_values)], constructs),
    Call("MuskingumCunge()", st.just(B.MuskingumCunge),
         [p("length", float_values), p("slope", float_values), p("manning_n", float_values),
          p("bottom_width", float_values), p("side_slope", float_values, False),
          p("reference_flow", st.one_of(st.none(), float_values), False),
          p("sub_reaches", st.one_of(st.none(), sub_reaches), False),
          p("sub_steps", st.one_of(st.none(), sub_reaches), False)], constructs),
    Call("StorageIndication()", st.just(B.StorageIndication),
         [p("elevation_storage", storage_curves()), p("outlets", outlet_dicts),
          p("initial_elevation", float_values)], constructs),
    Call("GR4J()", st.just(B.GR4J),
         [p(n, float_values) for n in ["x1", "x2", "x3", "x4"]]
         + [p(n, float_values, False) for n in ["initial_production", "initial_routing"]]
         + [p("snow", st.sampled_from([None, *SNOW_STORES]), False)],
         constructs),
    Call("CemaNeige()", st.just(B.CemaNeige),
         [p(n, float_values) for n in CEMANEIGE_NAMES[:3]] + [p("elevations", vectors),
                                                              p("median_elevation", float_values)]
         + [p(n, float_values, False) for n in CEMANEIGE_NAMES[5:]], constructs),
    *getters("CemaNeige", st.just(SNOW_STORES[1]),
             dict.fromkeys(CEMANEIGE_NAMES, is_float) | {"elevations": floats_list}),
    Call("DegreeDaySnow()", st.just(B.DegreeDaySnow),
         [p(n, float_values) for n in SNOW_NAMES[:4]] + [p(SNOW_NAMES[4], float_values, False)],
         constructs),
    *getters("DegreeDaySnow", st.just(SNOW_STORES[0]),
             dict.fromkeys(SNOW_NAMES, is_float)),
    *[row for method in (B.Oudin, B.Hargreaves, B.Hamon) for row in (
        Call(f"{method.__name__}()", st.just(method), [p("latitude", float_values)], constructs),
        *getters(method.__name__, st.floats(-90.0, 90.0).map(method), {"latitude": is_float}))],
    Call("Basin.run evapotranspiration methods", st.just(PET_BASIN.run),
         [p("forcing", pet_forcings())], lambda r, t: type(r) is B.BasinRun),
    Call("HBV()", st.just(B.HBV),
         [p(n, float_values) for n in HBV_NAMES] + [p(n, float_values, False) for n in HBV_INITIAL],
         constructs),
    *getters("GR4J", st.builds(B.GR4J, st.floats(1.0, 1e4), floats.filter(math.isfinite),
                               st.floats(1.0, 1e4), st.floats(0.5, 20.0), st.floats(0.0, 1.0),
                               st.floats(0.0, 1.0)),
             dict.fromkeys(["x1", "x2", "x3", "x4", "initial_production", "initial_routing"],
                           is_float) | {"snow": lambda v: v is None}),
    *getters("HBV", st.just(B.HBV(0.0, 3.0, 1.1, 0.05, 0.1, 210.0, 0.7, 2.0, 1.2, 15.0, 0.2, 0.1,
                                  0.04, 2.5, 0.5, 1.0, 2.0)),
             dict.fromkeys(HBV_NAMES + HBV_INITIAL, is_float)),
    *getters("CurveNumber", st.builds(B.CurveNumber, st.floats(1.0, 100.0), st.floats(0.0, 1.0),
                                      st.integers(1, 3)),
             {"curve_number": is_float, "initial_abstraction_ratio": is_float,
              "antecedent_moisture": lambda v: type(v) is int}),
    *getters("GreenAmpt", st.just(B.GreenAmpt(0.4, 4.3, 0.3, 0.1)),
             {"hydraulic_conductivity": is_float, "suction_head": is_float,
              "moisture_deficit": is_float, "initial_infiltration": is_float}),
    *getters("ScsUnitHydrograph", st.builds(B.ScsUnitHydrograph, durations,
                                            st.floats(1.0, 1000.0)),
             {"lag": lambda v: type(v) is timedelta, "peak_rate_factor": is_float}),
    *getters("Snyder", st.builds(B.Snyder, *[st.floats(0.01, 100.0)] * 4),
             {"ct": is_float, "cp": is_float, "stream_length": is_float,
              "centroid_length": is_float}),
    *getters("MuskingumCunge",
             st.builds(B.MuskingumCunge, *[st.floats(0.01, 1e4)] * 5,
                       st.one_of(st.none(), st.floats(0.01, 1e4)),
                       st.one_of(st.none(), st.integers(1, 9)),
                       st.one_of(st.none(), st.integers(1, 9))),
             {"length": is_float, "slope": is_float, "manning_n": is_float,
              "bottom_width": is_float, "side_slope": is_float,
              "reference_flow": lambda v: v is None or type(v) is float,
              "sub_reaches": lambda v: v is None or type(v) is int,
              "sub_steps": lambda v: v is None or type(v) is int}),
    *getters("StorageIndication",
             pool_curves.map(lambda c: B.StorageIndication(c, {}, c.elevation[0])),
             {"elevation_storage": lambda v: type(v) is ES, "outlets": lambda v: v == {},
              "initial_elevation": is_float}),
    *getters("BasinRun", st.just(BASIN_RUN), {"names": lambda v: v == ["north", "channel"],
                                              "time_step": lambda v: v == HOUR_}),
    *getters("ElementRun", st.sampled_from([BASIN_RUN["channel"], BASIN_RUN["north"]]),
             {"name": lambda v: v in ("channel", "north"), "outflow": as_series,
              "series": lambda v: type(v) is dict and list(v) in ([], ["excess", "loss", "direct",
                                                                     "baseflow"])}),
]
