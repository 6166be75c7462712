"""vesparil.basin: a daily sub-basin's potential evapotranspiration made from temperature by
Oudin, Hargreaves or Hamon, to the bit the series of the evapotranspiration functions given as
"evapotranspiration", in a run, in the batch and in plain data."""

import json
import math
import pickle
from datetime import timedelta

import pytest
from basin_checks import assert_batch_equals_single_runs

import vesparil

np = pytest.importorskip("numpy", reason="the batch's parameter table is a NumPy array")

basin = vesparil.basin
et = vesparil.evapotranspiration
DAY = timedelta(days=1)
AREA = 900.0
LATITUDE = 47.5
N = 240
DAYS = [(d + 300) % 366 + 1 for d in range(N)]  # across the new year, day 366 among them
T = [6.0 + 11.0 * math.sin(2 * math.pi * (day - 110) / 365) + (d % 5) - 2.0
     for d, day in enumerate(DAYS)]
T_MIN = [t - 4.0 - (d % 3) for d, t in enumerate(T)]
T_MAX = [t + 5.0 + (d % 4) for d, t in enumerate(T)]
P = [16.0 if d % 4 == 0 else (5.0 if d % 7 == 0 else 0.0) for d in range(N)]
GR4J = (320.0, -0.8, 70.0, 1.7)
HBV = (0.0, 3.0, 1.1, 0.05, 0.1, 210.0, 0.7, 2.0, 1.2, 15.0, 0.2, 0.1, 0.04, 2.5)
SNOW = (0.5, 3.5, 0.05, 0.1, 12.0)

# id, class, the forcing it takes besides precipitation, the standalone function's series
METHODS = [
    ("Oudin", basin.Oudin, {"temperature": T, "day_of_year": DAYS},
     lambda: et.calculate_pet_oudin(T, LATITUDE, DAYS)),
    ("Hargreaves", basin.Hargreaves,
     {"temperature_min": T_MIN, "temperature_max": T_MAX, "day_of_year": DAYS},
     lambda: et.calculate_pet_hargreaves(T_MIN, T_MAX, LATITUDE, DAYS)),
    ("Hamon", basin.Hamon, {"temperature": T, "day_of_year": np.array(DAYS, dtype=float)},
     lambda: et.calculate_pet_hamon(T, LATITUDE, DAYS)),
]
METHOD_IDS = [row[0] for row in METHODS]
# id, add_subbasin's arguments after the area, whether the model reads temperature, columns
SUBBASINS = [
    ("GR4J", lambda: (None, basin.GR4J(*GR4J)), False,
     {"north.gr4j.x1": (100.0, 600.0), "north.gr4j.x4": (1.1, 4.0)}),
    ("HBV", lambda: (None, basin.HBV(*HBV)), True,
     {"north.hbv.fc": (100.0, 300.0), "north.hbv.beta": (1.0, 4.0)}),
    ("event", lambda: (basin.DeficitAndConstant(0.1, 0.4, 0.002, timedelta(days=10)),
                       basin.Clark(timedelta(days=2), timedelta(days=3))), False,
     {"north.loss.initial_deficit": (0.0, 0.4), "north.transform.tc": (24.0, 96.0)}),
    ("event behind snow", lambda: (basin.CurveNumber(72.0), basin.Clark(2 * DAY, 3 * DAY),
                                   None, None, basin.DegreeDaySnow(*SNOW)), True,
     {"north.loss.curve_number": (60.0, 90.0), "north.snow.melt_factor": (1.0, 5.0)}),
]
SUBBASIN_IDS = [row[0] for row in SUBBASINS]


def one_subbasin(arguments, pet=None):
    m = basin.Basin(DAY)
    m.add_subbasin("north", AREA, *arguments(), evapotranspiration=pet)
    return m


def pet_forcing(series, reads_temperature):
    forcing = {"precipitation": P, **series}
    if reads_temperature:
        forcing["temperature"] = T  # the model's or the store's own, for Hargreaves too
    return forcing


def given_forcing(pet, reads_temperature):
    forcing = {"precipitation": P, "evapotranspiration": pet}
    if reads_temperature:
        forcing["temperature"] = T
    return forcing


@pytest.mark.parametrize("arguments, reads_temperature", [row[1:3] for row in SUBBASINS],
                         ids=SUBBASIN_IDS)
@pytest.mark.parametrize("method, series, standalone", [row[1:] for row in METHODS],
                         ids=METHOD_IDS)
def test_equals_the_standalone_series_given(method, series, standalone, arguments,
                                            reads_temperature):
    made = one_subbasin(arguments, method(LATITUDE)).run(
        {"north": pet_forcing(series, reads_temperature)})
    given = one_subbasin(arguments).run({"north": given_forcing(standalone(), reads_temperature)})
    assert made["north"].outflow.data == given["north"].outflow.data
    assert made.summary() == given.summary()
    for name, values in given["north"].series.items():
        assert made["north"].series[name].data == values.data, name
    assert max(made["north"].outflow.data) > 0.1  # the water reaches the outlet


def test_each_subbasin_makes_its_own_series():
    m = basin.Basin(DAY)
    by_hand = basin.Basin(DAY)
    for model, name, latitude in [(m, "north", 62.0), (m, "south", -12.0),
                                  (by_hand, "north", None), (by_hand, "south", None)]:
        pet = None if latitude is None else basin.Hamon(latitude)
        model.add_subbasin(name, AREA, None, basin.GR4J(*GR4J), downstream="out",
                           evapotranspiration=pet)
    for model in (m, by_hand):
        model.add_junction("out")
    made = m.run({name: {"precipitation": P, "temperature": T, "day_of_year": DAYS}
                  for name in ("north", "south")})
    given = by_hand.run({name: {"precipitation": P, "evapotranspiration":
                                et.calculate_pet_hamon(T, latitude, DAYS)}
                         for name, latitude in (("north", 62.0), ("south", -12.0))})
    assert made["out"].outflow.data == given["out"].outflow.data


@pytest.mark.parametrize("arguments, reads_temperature, columns",
                         [row[1:] for row in SUBBASINS], ids=SUBBASIN_IDS)
@pytest.mark.parametrize("method, series", [row[1:3] for row in METHODS], ids=METHOD_IDS)
def test_batch_members_equal_single_runs(method, series, arguments, reads_temperature, columns):
    assert_batch_equals_single_runs(one_subbasin(arguments, method(LATITUDE)),
                                    {"north": pet_forcing(series, reads_temperature)}, columns,
                                    seed=11, members=6)


@pytest.mark.parametrize("method", [row[1] for row in METHODS], ids=METHOD_IDS)
@pytest.mark.parametrize("arguments", [row[1] for row in SUBBASINS], ids=SUBBASIN_IDS)
def test_plain_data_round_trips(method, arguments):
    m = one_subbasin(arguments, method(-33.25))
    plain = m.to_dict()
    assert plain["elements"][0]["evapotranspiration"] == {"method": method.__name__.lower(),
                                                          "latitude": -33.25}
    assert "evapotranspiration" not in one_subbasin(arguments).to_dict()["elements"][0]
    again = basin.Basin.from_dict(json.loads(json.dumps(plain)))
    assert again.to_dict() == plain == pickle.loads(pickle.dumps(m)).to_dict()
    assert m.with_parameters([AREA], ["north.subbasin.area"]).to_dict() == plain
    plain["elements"][0]["evapotranspiration"] = None  # as a hand-written file may say it
    assert basin.Basin.from_dict(plain).to_dict() == one_subbasin(arguments).to_dict()


def gr4j_with(pet, snow=None):
    return one_subbasin(lambda: (None, basin.GR4J(*GR4J, snow=snow)), pet)


def event_with(pet, step=DAY):
    m = basin.Basin(step)
    m.add_subbasin("north", AREA, basin.CurveNumber(72.0), basin.Clark(DAY, DAY),
                   evapotranspiration=pet)
    return m


def plain_with(pet_plain):
    plain = gr4j_with(basin.Oudin(10.0)).to_dict()
    plain["elements"][0]["evapotranspiration"] = pet_plain
    return plain


OUDIN = {"precipitation": P, "temperature": T, "day_of_year": DAYS}
EXTREMES = {"precipitation": P, "temperature_min": T_MIN, "temperature_max": T_MAX,
            "day_of_year": DAYS}


@pytest.mark.parametrize("call, error, message", [
    (lambda: basin.Oudin(90.5), ValueError, "latitude must be between -90 and 90$"),
    (lambda: basin.Hargreaves(math.nan), ValueError, "latitude must be between -90 and 90$"),
    (lambda: basin.Hamon("north"), TypeError, "argument 'latitude'"),
    (lambda: event_with(basin.GR4J(*GR4J)), TypeError, "argument 'evapotranspiration'"),
    (lambda: gr4j_with(basin.Oudin(45.0)).run({"north": {**OUDIN, "evapotranspiration": P}}),
     ValueError, "forcing: 'north': its evapotranspiration is made by its Oudin method; give no "
                 "'evapotranspiration'$"),
    (lambda: gr4j_with(basin.Hamon(45.0)).run({"north": {"precipitation": P, "temperature": T}}),
     ValueError, "forcing: 'north': no day_of_year given$"),
    (lambda: gr4j_with(basin.Oudin(45.0)).run(
        {"north": {"precipitation": P, "day_of_year": DAYS}}),
     ValueError, "forcing: 'north': no temperature given$"),
    (lambda: gr4j_with(basin.Hargreaves(45.0)).run({"north": {**EXTREMES, "temperature": T}}),
     ValueError, "forcing: 'north': unknown series 'temperature'$"),
    (lambda: gr4j_with(basin.Hargreaves(45.0), basin.DegreeDaySnow(*SNOW)).run(
        {"north": EXTREMES}), ValueError, "forcing: 'north': no temperature given$"),
    (lambda: gr4j_with(basin.Hargreaves(45.0)).run(
        {"north": {**EXTREMES, "temperature_max": T_MAX[:-1]}}),
     ValueError, "forcing: 'north': its series must have the same length$"),
    (lambda: event_with(basin.Oudin(45.0)).run({"north": P}), TypeError,
     "forcing: 'north': an evapotranspiration method's forcing is a dict of named series$"),
    (lambda: gr4j_with(basin.Oudin(45.0)).run({"north": {**OUDIN, "day_of_year": [0] * N}}),
     ValueError, "subbasin 'north': day_of_year must be between 1 and 366$"),
    (lambda: gr4j_with(basin.Hargreaves(45.0)).run(
        {"north": {**EXTREMES, "temperature_min": T_MIN[:3] + [99.0] + T_MIN[4:]}}),
     ValueError, "subbasin 'north': temperature_max is below temperature_min at index 3$"),
    (lambda: event_with(basin.Oudin(45.0), timedelta(hours=1)).run({"north": OUDIN}), ValueError,
     "subbasin 'north': a continuous model needs a time step of one day; the basin's is 3600 s$"),
    (lambda: event_with(basin.Oudin(45.0)).with_parameters(
        [10.0], ["north.evapotranspiration.latitude"]), ValueError,
     "column 'north.evapotranspiration.latitude': method 'evapotranspiration' has no parameter "
     "'latitude'$"),
    (lambda: event_with(None).with_parameters([10.0], ["north.evapotranspiration.latitude"]),
     ValueError, "column 'north.evapotranspiration.latitude': subbasin 'north' has no "
                 "evapotranspiration method$"),
    (lambda: gr4j_with(basin.Oudin(45.0)).run_batch(
        np.array([[300.0]]), ["north.gr4j.x1"], {"north": {**OUDIN, "day_of_year": [367] * N}},
        np.ones(N)), ValueError, "subbasin 'north': day_of_year must be between 1 and 366$"),
    (lambda: basin.Basin.from_dict(plain_with({"method": "hamon", "latitude": -91.0})),
     ValueError, "element 'north'.evapotranspiration: latitude must be between -90 and 90$"),
    (lambda: basin.Basin.from_dict(plain_with({"method": "pan", "latitude": 10.0})), ValueError,
     "element 'north'.evapotranspiration: unknown evapotranspiration method 'pan'$"),
    (lambda: basin.Basin.from_dict(plain_with({"method": "oudin"})), ValueError,
     "element 'north'.evapotranspiration: missing 'latitude'$"),
])
def test_refusals(call, error, message):
    with pytest.raises(error, match="^" + message):
        call()
