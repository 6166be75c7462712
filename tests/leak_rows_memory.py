"""Rows of the memory check: the series' entries, the model functions and the basin's method
classes, with their builds."""

from datetime import timedelta

import numpy as np

from basin_method_rows import ROWS as BASIN_METHODS
from leak_arguments import DATA, HBV_PARAMETERS, HOUR, _basin, _flow, _layers, _pool_args, _rain


def swallow(call, expected):
    def failing():
        try:
            call()
        except expected:
            return
        raise AssertionError("the call was expected to fail")

    return failing


class BadElement:
    def __float__(self):
        raise TypeError("no float here") from KeyError("inner")


BAD_DATA = [1.0, BadElement()]


# Each build takes the resolved object and returns (call, objects whose reference counts must
# not change).
def build_constructor(cls):
    return lambda: cls(DATA, HOUR, "discharge"), [cls, DATA, HOUR]


def build_read(attribute):
    def build(cls):
        series = cls(DATA, HOUR, "discharge")
        return lambda: getattr(series, attribute), [cls, series]

    return build


def build_method(method, *args, fails_with=None):
    def build(cls):
        series = cls(DATA, HOUR, "rainfall")
        bound = getattr(series, method)
        call = lambda: bound(*args)  # noqa: E731
        if fails_with is not None:
            call = swallow(call, fails_with)
        return call, [cls, series]

    return build


ENTRIES = [
    ("ContinuousTimeSeries()", "utils.ContinuousTimeSeries", build_constructor),
    ("IncrementalTimeSeries()", "utils.IncrementalTimeSeries", build_constructor),
    ("ContinuousTimeSeries.data", "utils.ContinuousTimeSeries", build_read("data")),
    ("ContinuousTimeSeries.kind", "utils.ContinuousTimeSeries", build_read("kind")),
    ("IncrementalTimeSeries.time_step", "utils.IncrementalTimeSeries", build_read("time_step")),
    ("ContinuousTimeSeries.total_duration", "utils.ContinuousTimeSeries", build_method("total_duration")),
    ("IncrementalTimeSeries.total_duration", "utils.IncrementalTimeSeries", build_method("total_duration")),
    ("IncrementalTimeSeries.disaggregate", "utils.IncrementalTimeSeries", build_method("disaggregate", 900)),
    (
        "unknown kind word (ValueError)",
        "utils.ContinuousTimeSeries",
        lambda cls: (swallow(lambda: cls(DATA, HOUR, "flow"), ValueError), [cls, DATA, HOUR]),
    ),
    (
        "wrapped element error (TypeError with cause)",
        "utils.ContinuousTimeSeries",
        lambda cls: (swallow(lambda: cls(BAD_DATA, HOUR, "discharge"), TypeError), [cls, BAD_DATA, HOUR]),
    ),
    (
        "missing argument (binding TypeError)",
        "utils.IncrementalTimeSeries",
        lambda cls: (swallow(lambda: cls(DATA, HOUR), TypeError), [cls, DATA, HOUR]),
    ),
    (
        "disaggregate refused (ValueError)",
        "utils.IncrementalTimeSeries",
        build_method("disaggregate", 7000, fails_with=ValueError),
    ),
]


# The model functions, each with arguments built once; `fn` is the registered function.
def build_model(make_args, fails_with=None):
    def build(fn):
        args = make_args()
        call = lambda: fn(*args)  # noqa: E731
        if fails_with is not None:
            call = swallow(call, fails_with)
        # None and small ints are shared by everything: their counts move with any other code
        # (None before 3.12, where it is not immortal), so only the call's own objects are watched.
        return call, [fn, *(a for a in args if a is not None and type(a) is not int)]

    return build


MODEL_ENTRIES = [
    ("run_deficit_and_constant", "rainfall_loss.run_deficit_and_constant",
     build_model(lambda: [_rain(), 0.2, 1.0, 0.1, timedelta(hours=12)])),
    ("run_clark_uh", "rainfall_transform.run_clark_uh",
     build_model(lambda: [_rain(), 640.0, timedelta(hours=3), timedelta(hours=2)])),
    ("run_muskingum_routing", "reach.run_muskingum_routing",
     build_model(lambda: [_flow(), timedelta(hours=2), 0.2, 3, 0.0])),
    ("run_muskingum_routing negative k (ValueError)", "reach.run_muskingum_routing",
     build_model(lambda: [_flow(), timedelta(hours=-2), 0.2, 3, 0.0], fails_with=ValueError)),
    ("run_linear_reservoir", "baseflow.run_linear_reservoir",
     build_model(lambda: [640.0, _rain(), _layers()])),
    ("run_linear_reservoir fraction refused (ValueError)", "baseflow.run_linear_reservoir",
     build_model(lambda: [640.0, _rain(), _layers(4)], fails_with=ValueError)),
    ("calculate_kge", "metrics.calculate_kge",
     build_model(lambda: [DATA, [x * 1.1 + 0.2 for x in DATA], True])),
    ("calculate_nse", "metrics.calculate_nse",
     build_model(lambda: [DATA, [x * 1.1 + 0.2 for x in DATA], True])),
    ("calculate_kge_components ensemble", "metrics.calculate_kge_components",
     build_model(lambda: [[DATA, DATA[::-1]], [x * 1.1 + 0.2 for x in DATA]])),
    ("calculate_rmse ensemble", "metrics.calculate_rmse",
     build_model(lambda: [np.array([DATA, DATA[::-1]]), DATA])),
    ("run_level_pool_routing", "reservoir.run_level_pool_routing", build_model(_pool_args)),
    ("run_storage_indication_routing", "reservoir.run_storage_indication_routing",
     build_model(lambda: _pool_args()[:3] + [{k: v for k, v in _pool_args()[3].items()
                                              if k != "plan"}])),
    ("run_storage_indication_routing specified outlet (ValueError)",
     "reservoir.run_storage_indication_routing", build_model(_pool_args, fails_with=ValueError)),
    ("run_muskingum_cunge_routing", "reach.run_muskingum_cunge_routing",
     build_model(lambda: [_flow(), 20000.0, 0.001, 0.035, 40.0, 2.0, None, 3, None])),
    ("run_muskingum_cunge_routing refused (ValueError)", "reach.run_muskingum_cunge_routing",
     build_model(lambda: [_flow(), 0.0, 0.001, 0.035, 40.0], fails_with=ValueError)),
    ("run_green_ampt", "rainfall_loss.run_green_ampt",
     build_model(lambda: [_rain(), 0.3, 4.3, 0.29, 0.1])),
    ("run_green_ampt refused (ValueError)", "rainfall_loss.run_green_ampt",
     build_model(lambda: [_rain(), 0.0, 4.3, 0.29], fails_with=ValueError)),
    ("run_curve_number", "rainfall_loss.run_curve_number",
     build_model(lambda: [_rain(), 70.0, 0.05, 3])),
    ("run_curve_number refused (ValueError)", "rainfall_loss.run_curve_number",
     build_model(lambda: [_rain(), 0.0], fails_with=ValueError)),
    ("run_snyder_uh", "rainfall_transform.run_snyder_uh",
     build_model(lambda: [_rain(), 640.0, 1.8, 0.6, 3.0, 1.2])),
    ("run_scs_uh", "rainfall_transform.run_scs_uh",
     build_model(lambda: [_rain(), 640.0, timedelta(hours=2), 300.0])),
    ("run_level_pool_routing bad outlet (TypeError)", "reservoir.run_level_pool_routing",
     build_model(lambda: _pool_args()[:3] + [{"x": 1.5}], fails_with=TypeError)),
    ("Basin.run", "basin.Basin", lambda cls: (
        lambda b, f: (lambda: b.run(f), [cls, b, f]))(_basin(), {"north": _rain()})),
    ("Basin.to_dict and from_dict", "basin.Basin", lambda cls: (
        lambda b: (lambda: cls.from_dict(b.to_dict()), [cls, b]))(_basin())),
]

MODEL_ENTRIES += [
    ("run_gr4j", "lumped.run_gr4j",
     build_model(lambda: [DATA, [1.0] * len(DATA), 300.0, -0.5, 80.0, 1.7, 0.4, 0.6, 2])),
    ("run_gr4j bad x4 (ValueError)", "lumped.run_gr4j",
     build_model(lambda: [DATA, DATA, 300.0, -0.5, 80.0, 0.0], fails_with=ValueError)),
    ("run_hbv", "lumped.run_hbv", build_model(lambda: [DATA, [x - 3.0 for x in DATA], DATA,
                                                       *HBV_PARAMETERS, 0.4, 5.0, 9.0, 3])),
    ("run_hbv bad maxbas (ValueError)", "lumped.run_hbv",
     build_model(lambda: [DATA, DATA, DATA, *HBV_PARAMETERS[:-1], 0.0], fails_with=ValueError)),
]

MODEL_ENTRIES += [
    ("run_degree_day_snow", "snow.run_degree_day_snow",
     build_model(lambda: [DATA, [x - 4.0 for x in DATA], 0.0, 3.0, 0.05, 0.1, 5.0, 2])),
    ("run_cemaneige", "snow.run_cemaneige",
     build_model(lambda: [DATA, [x - 4.0 for x in DATA], 3.0, 0.4, 150.0, [300.0, 900.0], 600.0])),
    ("run_cemaneige no band (ValueError)", "snow.run_cemaneige",
     build_model(lambda: [DATA, DATA, 3.0, 0.4, 150.0, [], 600.0], fails_with=ValueError)),
]
DAYS = [float(d) for d in range(100, 100 + len(DATA))]
MODEL_ENTRIES += [
    (name, f"evapotranspiration.{name}", build_model(make)) for name, make in [
        ("calculate_extraterrestrial_radiation", lambda: [45.0, DAYS]),
        ("calculate_pet_oudin", lambda: [DATA, 45.0, DAYS]),
        ("calculate_pet_hargreaves", lambda: [DATA, [x + 5.0 for x in DATA], -33.0, DAYS]),
        ("calculate_pet_hamon", lambda: [DATA, 60.0, DAYS]),
    ]
] + [("calculate_pet_oudin bad day (ValueError)", "evapotranspiration.calculate_pet_oudin",
      build_model(lambda: [DATA, 45.0, [0.0] * len(DATA)], fails_with=ValueError))]

# The basin's method classes, built from the arguments of their rows in basin_method_rows.py.
MODEL_ENTRIES += [(f"{row.cls}()", f"basin.{row.cls}",
                   build_model(lambda row=row: list(row.arguments))) for row in BASIN_METHODS]

ENTRIES += MODEL_ENTRIES
