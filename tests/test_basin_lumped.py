"""vesparil.basin with a continuous model (GR4J, HBV) as a sub-basin's whole runoff: the
standalone model's flow converted by the rule of docs/basin.md, in the batch and in plain data."""

import json
import pickle
from datetime import timedelta

import pytest

import vesparil

np = pytest.importorskip("numpy", reason="the batch's parameter table is a NumPy array")

basin = vesparil.basin
lumped = vesparil.lumped
DAY = timedelta(days=1)
AREA = 1200.0
CFS_PER_MM_DAY_ACRE = 43560.0 / 26334720.0
P = [0.0, 5.0, 12.0, 3.0, 0.0, 0.0, 20.0, 1.0, 0.0, 0.4] * 8
E = [1.5, 2.0, 2.5, 3.0] * 20
TEMPERATURE = [-6.0, -2.0, 1.0, 4.0, -1.0, 6.0, 2.0, 0.0, -3.0, 3.0] * 8
GR4J = (320.0, -0.8, 70.0, 1.7)
SNOW = (0.5, 3.5, 0.05, 0.1)
CEMANEIGE = (3.5, 0.25, 150.0, [300.0, 650.0, 1100.0], 650.0)
HBV = (0.0, 3.0, 1.1, 0.05, 0.1, 210.0, 0.7, 2.0, 1.2, 15.0, 0.2, 0.1, 0.04, 2.5)

# id, method, its forcing, the standalone flow (mm/day), columns with a range of good values,
# and a column with a bad value and its message.
MODELS = [
    ("GR4J", lambda: basin.GR4J(*GR4J, initial_production=0.4),
     {"precipitation": P, "evapotranspiration": E},
     lambda: lumped.run_gr4j(P, E, *GR4J, initial_production=0.4).flow,
     {"north.gr4j.x1": (100.0, 600.0), "north.gr4j.x2": (-3.0, 1.0),
      "north.gr4j.x3": (20.0, 200.0), "north.gr4j.x4": (1.1, 4.0),
      "north.gr4j.initial_routing": (0.0, 1.0), "north.subbasin.area": (100.0, 2000.0)},
     ("north.gr4j.x1", 0.0, "subbasin 'north': x1 must be > 0")),
    ("GR4J behind snow", lambda: basin.GR4J(*GR4J, snow=basin.DegreeDaySnow(*SNOW, 12.0)),
     {"precipitation": P, "temperature": TEMPERATURE, "evapotranspiration": E},
     lambda: lumped.run_gr4j(vesparil.snow.run_degree_day_snow(P, TEMPERATURE, *SNOW, 12.0).outflow,
                             E, *GR4J).flow,
     {"north.gr4j.x1": (100.0, 600.0), "north.gr4j.x3": (20.0, 200.0),
      "north.gr4j.x4": (1.1, 4.0), "north.gr4j.threshold_temperature": (-1.0, 1.0),
      "north.gr4j.melt_factor": (1.0, 5.0), "north.gr4j.initial_snowpack": (0.0, 50.0)},
     ("north.gr4j.x3", 0.0, "subbasin 'north': x3 must be > 0")),
    ("GR4J behind CemaNeige",
     lambda: basin.GR4J(*GR4J, snow=basin.CemaNeige(*CEMANEIGE, -0.5, 0.0003)),
     {"precipitation": P, "temperature": TEMPERATURE, "evapotranspiration": E},
     lambda: lumped.run_gr4j(vesparil.snow.run_cemaneige(P, TEMPERATURE, *CEMANEIGE, -0.5,
                                                         0.0003).liquid_water, E, *GR4J).flow,
     {"north.gr4j.x1": (100.0, 600.0), "north.gr4j.x4": (1.1, 4.0),
      "north.gr4j.kf": (1.0, 6.0), "north.gr4j.ctg": (0.0, 1.0)},
     ("north.gr4j.ctg", 1.5, "subbasin 'north': ctg must be between 0 and 1")),
    ("HBV", lambda: basin.HBV(*HBV, initial_lower_zone=5.0),
     {"precipitation": P, "temperature": TEMPERATURE, "evapotranspiration": E},
     lambda: lumped.run_hbv(P, TEMPERATURE, E, *HBV, initial_lower_zone=5.0).flow,
     {"north.hbv.tt": (-1.0, 1.0), "north.hbv.cfmax": (1.0, 5.0), "north.hbv.fc": (100.0, 300.0),
      "north.hbv.beta": (1.0, 4.0), "north.hbv.k1": (0.05, 0.3), "north.hbv.maxbas": (1.0, 4.0),
      "north.hbv.initial_soil_moisture": (0.0, 1.0)},
     ("north.hbv.fc", -1.0, "subbasin 'north': fc must be > 0")),
]
IDS = [row[0] for row in MODELS]


def one_subbasin(method):
    m = basin.Basin(DAY)
    m.add_subbasin("north", AREA, None, method)
    return m


@pytest.mark.parametrize("make, forcing, standalone", [row[1:4] for row in MODELS], ids=IDS)
def test_one_subbasin_equals_the_standalone_model_converted(make, forcing, standalone):
    run = one_subbasin(make()).run({"north": forcing})
    assert run["north"].outflow.data == [q * AREA * CFS_PER_MM_DAY_ACRE for q in standalone()]
    assert run["north"].series["runoff"].data == standalone()
    depth = 0.0
    for value in P:  # in order, as the summary adds them (sum() compensates)
        depth += value
    assert run.summary()["north"]["volume_in"] == depth * AREA / 304.8


@pytest.mark.parametrize("make, forcing, columns, bad",
                         [(row[1], row[2], row[4], row[5]) for row in MODELS], ids=IDS)
def test_batch_members_equal_single_runs_and_bad_values_fail_first(make, forcing, columns, bad):
    m = one_subbasin(make())
    names = list(columns)
    low, high = zip(*columns.values())
    table = np.random.default_rng(7).uniform(low, high, (6, len(names)))
    observed = np.array(m.run({"north": forcing})["north"].outflow.data) + 1.0
    scores, rows = m.run_batch(table, names, {"north": forcing}, observed, threads=2,
                               outflows=True)
    for member, values in enumerate(table):
        single = m.with_parameters(list(values), names).run({"north": forcing})["north"]
        assert rows[member].tolist() == single.outflow.data
        assert scores[member] == vesparil.metrics.calculate_kge(single.outflow.data, observed)
    column, value, message = bad
    table[4, names.index(column)] = value
    # A model's check sees all of its values at once and names the element's first column.
    with pytest.raises(ValueError, match=f"^member 4, column '{names[0]}': {message}"):
        m.run_batch(table, names, {"north": forcing}, observed)


@pytest.mark.parametrize("make, forcing", [row[1:3] for row in MODELS], ids=IDS)
def test_plain_data_round_trips(make, forcing):
    m = one_subbasin(make())
    plain = m.to_dict()
    again = basin.Basin.from_dict(json.loads(json.dumps(plain)))
    assert again.to_dict() == plain == pickle.loads(pickle.dumps(m)).to_dict()
    assert again.run({"north": forcing})["north"].outflow.data == \
        m.run({"north": forcing})["north"].outflow.data
    plain["elements"][0]["loss"] = {"method": "curve_number", "curve_number": 70.0,
                                    "initial_abstraction_ratio": 0.2, "antecedent_moisture": 2}
    with pytest.raises(ValueError, match="^element 'north': a continuous model takes no loss"):
        basin.Basin.from_dict(plain)


def clark():
    return basin.Clark(timedelta(hours=1), timedelta(hours=1))


@pytest.mark.parametrize("call, error, message", [
    (lambda: basin.Basin(timedelta(hours=1)).add_subbasin("north", AREA, None, basin.GR4J(*GR4J))
     or None, None, None),
    (lambda: basin.Basin(DAY).add_subbasin("north", AREA, basin.CurveNumber(70.0),
                                           basin.GR4J(*GR4J)),
     ValueError, "subbasin 'north': a continuous model"),
    (lambda: one_subbasin(basin.GR4J(*GR4J)).run({"north": P}), TypeError,
     "forcing: 'north': a continuous model's forcing is a dict"),
    (lambda: one_subbasin(basin.GR4J(*GR4J)).run({"north": {"precipitation": P}}), ValueError,
     "forcing: 'north': no evapotranspiration given"),
    (lambda: one_subbasin(basin.HBV(*HBV)).run(
        {"north": {"precipitation": P, "evapotranspiration": E, "temperature": P[1:]}}),
     ValueError, "forcing: 'north': its series must have the same length"),
    (lambda: one_subbasin(basin.GR4J(*GR4J)).run(
        {"north": {"precipitation": P, "evapotranspiration": E, "temperature": P}}),
     ValueError, "forcing: 'north': unknown series 'temperature'"),
    (lambda: one_subbasin(basin.GR4J(*GR4J, snow=basin.DegreeDaySnow(*SNOW))).run(
        {"north": {"precipitation": P, "evapotranspiration": E}}),
     ValueError, "forcing: 'north': no temperature given"),
    (lambda: one_subbasin(basin.GR4J(*GR4J, snow=basin.DegreeDaySnow(0.0, -1.0, 0.0, 0.0))).run(
        {"north": {"precipitation": P, "evapotranspiration": E, "temperature": P}}),
     ValueError, "melt_factor must be >= 0"),
    (lambda: one_subbasin(basin.GR4J(*GR4J)).with_parameters([1.0], ["north.transform.tc"]),
     ValueError, "column 'north.transform.tc': subbasin 'north' is run by a continuous model"),
    (lambda: one_subbasin(basin.GR4J(*GR4J)).with_parameters([1.0], ["north.gr4j.melt_factor"]),
     ValueError, "column 'north.gr4j.melt_factor': subbasin 'north' has no snow store"),
    (lambda: one_subbasin(basin.GR4J(*GR4J)).with_parameters([1.0], ["north.gr4j.kf"]),
     ValueError, "column 'north.gr4j.kf': subbasin 'north' has no snow store"),
    (lambda: one_subbasin(basin.GR4J(*GR4J, snow=basin.DegreeDaySnow(*SNOW))).with_parameters(
        [1.0], ["north.gr4j.ctg"]),
     ValueError, "column 'north.gr4j.ctg': the snow store of subbasin 'north' has no parameter"),
    (lambda: one_subbasin(basin.GR4J(*GR4J, snow=basin.CemaNeige(*CEMANEIGE))).with_parameters(
        [1.0], ["north.gr4j.melt_factor"]),
     ValueError, "column 'north.gr4j.melt_factor': the snow store of subbasin 'north' has no"),
    (lambda: one_subbasin(basin.GR4J(*GR4J, snow=basin.CemaNeige(3.5, 0.25, 150.0, [], 0.0))).run(
        {"north": {"precipitation": P, "evapotranspiration": E, "temperature": P}}),
     ValueError, "elevations must hold 1 to 1000 bands"),
    (lambda: basin.CemaNeige(3.5, 0.25, 150.0, None, 0.0), TypeError, "argument 'elevations'"),
    (lambda: one_subbasin(basin.GR4J(*GR4J)).with_parameters([1.0], ["north.hbv.fc"]),
     ValueError, "column 'north.hbv.fc': subbasin 'north' has no method 'hbv'"),
])
def test_refusals(call, error, message):
    if error is None:
        # An hourly basin takes the model, and refuses it when it runs.
        m = basin.Basin(timedelta(hours=1))
        m.add_subbasin("north", AREA, None, basin.GR4J(*GR4J))
        error, message = ValueError, "subbasin 'north': a continuous model needs a time step"
        call = lambda: m.run({"north": {"precipitation": P, "evapotranspiration": E}})  # noqa: E731
    with pytest.raises(error, match="^" + message):
        call()
