"""vesparil.basin: the daily front of an event sub-basin (forcing in mm, a snow store, the net
rainfall max(0, liquid - E) / 25.4 given to the loss), and the batch's missing-value rule and
warm-up."""

import json
import math
import operator
import pickle
from datetime import timedelta
from functools import reduce

import pytest
from basin_checks import assert_batch_equals_single_runs

import vesparil

np = pytest.importorskip("numpy", reason="the batch's parameter table is a NumPy array")

basin = vesparil.basin
snow = vesparil.snow
DAY = timedelta(days=1)
AREA = 640.0
DAYS = 150
TEMPERATURE = [1.0 + 9.0 * math.sin(2 * math.pi * (d - 40) / 365) for d in range(DAYS)]
P = [14.0 if d % 3 == 0 else (30.0 if d % 17 == 0 else 0.0) for d in range(DAYS)]
E = [max(0.0, 0.15 * t + 1.0) for t in TEMPERATURE]
DEGREE_DAY = (0.5, 3.5, 0.05, 0.1, 12.0)
CEMANEIGE = (3.5, 0.25, 150.0, [300.0, 650.0, 1100.0], 650.0)

# id, snow store, its liquid water by the standalone function, columns with good ranges
STORES = [
    ("no snow", lambda: None, lambda: P, {}),
    ("DegreeDaySnow", lambda: basin.DegreeDaySnow(*DEGREE_DAY),
     lambda: snow.run_degree_day_snow(P, TEMPERATURE, *DEGREE_DAY).outflow,
     {"north.snow.melt_factor": (1.0, 5.0), "north.snow.threshold_temperature": (-1.0, 1.0),
      "north.snow.initial_snowpack": (0.0, 40.0)}),
    ("CemaNeige", lambda: basin.CemaNeige(*CEMANEIGE),
     lambda: snow.run_cemaneige(P, TEMPERATURE, *CEMANEIGE).liquid_water,
     {"north.snow.kf": (1.0, 6.0), "north.snow.ctg": (0.0, 1.0)}),
]
STORE_IDS = [row[0] for row in STORES]
# id, loss (the deficit advances members in groups, the curve number one by one), its columns
LOSSES = [
    ("deficit", lambda: basin.DeficitAndConstant(0.3, 1.5, 0.004, timedelta(days=4)),
     {"north.loss.initial_deficit": (0.0, 1.0), "north.loss.constant_rate": (0.001, 0.01)}),
    ("curve number", lambda: basin.CurveNumber(72.0), {"north.loss.curve_number": (60.0, 90.0)}),
]


def forcing_of(store):
    forcing = {"precipitation": P, "evapotranspiration": E}
    if store is not None:
        forcing["temperature"] = TEMPERATURE
    return forcing


def event_basin(loss, store, step=DAY):
    m = basin.Basin(step)
    m.add_subbasin("north", AREA, loss, basin.Clark(timedelta(days=2), timedelta(days=3)),
                   {"ground": vesparil.baseflow.LinearReservoir(timedelta(days=20), 0.4, 1.0)},
                   None, store)
    return m


@pytest.mark.parametrize("make_loss", [row[1] for row in LOSSES], ids=[r[0] for r in LOSSES])
@pytest.mark.parametrize("make_store, liquid", [row[1:3] for row in STORES], ids=STORE_IDS)
def test_front_equals_the_rain_made_by_hand(make_loss, make_store, liquid):
    store = make_store()
    run = event_basin(make_loss(), store).run({"north": forcing_of(store)})
    rain = [max(0.0, water - et) / 25.4 for water, et in zip(liquid(), E)]
    by_hand = event_basin(make_loss(), None).run({"north": rain})
    assert run["north"].outflow.data == by_hand["north"].outflow.data
    assert max(run["north"].series["direct"].data) > 0.1  # the rain reaches the outlet
    # The inflow is the precipitation over the area, in mm.
    assert run.summary()["north"]["volume_in"] == reduce(operator.add, P, 0.0) * AREA / 304.8


def test_front_without_snow_runs_at_any_step():
    hourly = [p / 24.0 for p in P]
    pet = [e / 24.0 for e in E]
    m = event_basin(basin.CurveNumber(80.0), None, timedelta(hours=1))
    run = m.run({"north": {"precipitation": hourly, "evapotranspiration": pet}})
    rain = [max(0.0, p - e) / 25.4 for p, e in zip(hourly, pet)]
    assert run["north"].outflow.data == \
        event_basin(basin.CurveNumber(80.0), None, timedelta(hours=1)).run(
            {"north": rain})["north"].outflow.data


@pytest.mark.parametrize("make_loss, loss_columns", [row[1:] for row in LOSSES],
                         ids=[r[0] for r in LOSSES])
@pytest.mark.parametrize("make_store, snow_columns", [(r[1], r[3]) for r in STORES],
                         ids=STORE_IDS)
def test_batch_members_equal_single_runs(make_loss, loss_columns, make_store, snow_columns):
    store = make_store()
    assert_batch_equals_single_runs(event_basin(make_loss(), store),
                                    {"north": forcing_of(store)}, loss_columns | snow_columns,
                                    seed=3, members=7)


@pytest.mark.parametrize("make_store", [row[1] for row in STORES], ids=STORE_IDS)
def test_plain_data_round_trips(make_store):
    store = make_store()
    m = event_basin(basin.CurveNumber(72.0), store)
    plain = m.to_dict()
    assert ("snow" in plain["elements"][0]) == (store is not None)
    again = basin.Basin.from_dict(json.loads(json.dumps(plain)))
    assert again.to_dict() == plain == pickle.loads(pickle.dumps(m)).to_dict()
    forcing = {"north": forcing_of(store)}
    assert again.run(forcing)["north"].outflow.data == m.run(forcing)["north"].outflow.data


def plain_with_snow(runoff, snow_plain):
    m = basin.Basin(DAY)
    m.add_subbasin("north", AREA, None, runoff)
    plain = m.to_dict()
    plain["elements"][0]["snow"] = snow_plain
    return plain


def degree_day_basin(step=DAY):
    return event_basin(basin.CurveNumber(72.0), basin.DegreeDaySnow(*DEGREE_DAY), step)


@pytest.mark.parametrize("call, error, message", [
    (lambda: degree_day_basin(timedelta(hours=1)).run({"north": forcing_of(1)}), ValueError,
     "subbasin 'north': a continuous model needs a time step of one day; the basin's is 3600 s"),
    (lambda: degree_day_basin().run({"north": P}), TypeError,
     "forcing: 'north': a snow store's forcing is a dict of named series"),
    (lambda: degree_day_basin().run({"north": forcing_of(None)}), ValueError,
     "forcing: 'north': no temperature given"),
    (lambda: event_basin(None, None).run({"north": forcing_of(1)}), ValueError,
     "forcing: 'north': unknown series 'temperature'"),
    (lambda: event_basin(None, None).run({"north": {"precipitation": P}}), ValueError,
     "forcing: 'north': no evapotranspiration given"),
    (lambda: event_basin(None, basin.DegreeDaySnow(0.0, -1.0, 0.0, 0.0)).run(
        {"north": forcing_of(1)}), ValueError, "melt_factor must be >= 0"),
    (lambda: event_basin(None, basin.CemaNeige(3.0, 2.0, 100.0, [1.0], 1.0)).run(
        {"north": forcing_of(1)}), ValueError, "ctg must be between 0 and 1"),
    (lambda: event_basin(None, None).with_parameters([1.0], ["north.snow.kf"]), ValueError,
     "column 'north.snow.kf': subbasin 'north' has no snow store"),
    (lambda: degree_day_basin().with_parameters([1.0], ["north.snow.kf"]), ValueError,
     "column 'north.snow.kf': the snow store of subbasin 'north' has no parameter 'kf'"),
    (lambda: degree_day_basin().with_parameters([1.0], ["north.snow.mean_annual_snowfall"]),
     ValueError, "column 'north.snow.mean_annual_snowfall': method 'snow' has no parameter"),
    (lambda: degree_day_basin().with_parameters([-1.0], ["north.snow.melt_factor"]), ValueError,
     "member 0, column 'north.snow.melt_factor': subbasin 'north': melt_factor must be >= 0"),
    (lambda: basin.Basin(DAY).add_subbasin("north", AREA, None, basin.GR4J(300.0, 0.0, 80.0, 2.0),
                                           snow=basin.DegreeDaySnow(*DEGREE_DAY)),
     ValueError, "subbasin 'north': a continuous model takes no snow store here"),
    (lambda: event_basin(None, 3.0), TypeError, "argument 'snow'"),
    (lambda: basin.Basin.from_dict(plain_with_snow(basin.GR4J(300.0, 0.0, 80.0, 2.0), {
        "threshold_temperature": 0.0, "melt_factor": 3.0, "refreezing_coefficient": 0.05,
        "water_holding": 0.1, "initial_snowpack": 0.0})), ValueError,
     "element 'north': a continuous model takes no snow store here"),
    (lambda: basin.Basin.from_dict(plain_with_snow(basin.Clark(DAY, DAY), {"method": "igloo"})),
     ValueError, "element 'north'.snow: unknown snow method 'igloo'"),
])
def test_refusals(call, error, message):
    with pytest.raises(error, match="^" + message):
        call()


# The batch's score after a warm-up and with a missing-value rule. A source joins the sub-basin
# at the outlet. A NaN in a source is refused, so gaps in the scored outflow come from finite
# flows that overflow: two sources of 1e308 make +inf at "high", two of -1e308 -inf at "low",
# and the outlet adds them into NaN.
def scored_basin():
    m = event_basin(basin.DeficitAndConstant(0.3, 1.5, 0.004, timedelta(days=4)), None)
    source = lambda name, down: {"name": name, "kind": "source", "downstream": down}
    junction = lambda name, down: {"name": name, "kind": "junction", "downstream": down}
    m = basin.Basin.from_dict({**m.to_dict(), "elements": [
        {**m.to_dict()["elements"][0], "downstream": "out"}, source("inflow", "out"),
        source("up1", "high"), source("up2", "high"), junction("high", "out"),
        source("down1", "low"), source("down2", "low"), junction("low", "out"),
        junction("out", None)]})
    return m


def scored_forcing(gaps=()):
    flows = [2.0 + (d % 7) * 0.5 for d in range(DAYS)]
    spikes = [1e308 if d in gaps else 0.0 for d in range(DAYS)]
    sinks = [-s for s in spikes]
    return {"north": forcing_of(None), "inflow": flows, "up1": spikes, "up2": spikes,
            "down1": sinks, "down2": sinks}


COLUMNS = ["north.loss.initial_deficit", "north.loss.constant_rate"]
TABLE = np.array([[0.1, 0.002], [0.5, 0.004], [0.9, 0.008], [0.3, 0.001], [0.0, 0.006]])


def observed_with(gaps):
    run = scored_basin().run(scored_forcing())["out"].outflow.data
    observed = np.array([q * 0.9 + 0.3 * math.sin(d) for d, q in enumerate(run)])
    observed[list(gaps)] = np.nan
    return observed


def by_the_metric(metric, sim, obs):
    if metric == "nse":
        return vesparil.metrics.calculate_nse(sim, obs, missing="omit")
    kept = ~(np.isnan(sim) | np.isnan(obs))
    return vesparil.metrics.calculate_kge(sim[kept], obs[kept])


@pytest.mark.parametrize("metric", ["kge", "nse"])
@pytest.mark.parametrize("warmup, observed_gaps, simulated_gaps", [
    (0, (3, 40, 41), ()),
    (30, (2, 10, 29, 45, 100), ()),        # gaps inside the warm-up and after it
    (30, (5, 60), (31, 90, 91)),           # the members' outflows have gaps of their own
    (DAYS - 5, (DAYS - 3,), ()),
])
def test_omit_after_warmup_equals_the_metric_on_the_window(metric, warmup, observed_gaps,
                                                           simulated_gaps):
    m = scored_basin()
    observed = observed_with(observed_gaps)
    forcing = scored_forcing(simulated_gaps)
    scores, rows = m.run_batch(TABLE, COLUMNS, forcing, observed, metric=metric, threads=2,
                               outflows=True, missing="omit", warmup=warmup)
    assert rows.shape == (len(TABLE), DAYS)
    for member, values in enumerate(TABLE):
        single = np.array(
            m.with_parameters(list(values), COLUMNS).run(forcing)["out"].outflow.data)
        assert rows[member].tobytes() == single.tobytes()  # bit for bit, the gaps' NaN too
        assert scores[member] == by_the_metric(metric, single[warmup:], observed[warmup:])


@pytest.mark.parametrize("metric, score", [("kge", vesparil.metrics.calculate_kge),
                                           ("nse", vesparil.metrics.calculate_nse)])
def test_propagate_and_raise_after_warmup(metric, score):
    m = scored_basin()
    observed = observed_with((4, 9))  # both gaps inside the warm-up
    forcing = scored_forcing()
    for missing in ("propagate", "raise"):
        scores = m.run_batch(TABLE, COLUMNS, forcing, observed, metric=metric, missing=missing,
                             warmup=10)
        for member, values in enumerate(TABLE):
            single = m.with_parameters(list(values), COLUMNS).run(forcing)["out"].outflow.data
            assert scores[member] == score(single[10:], observed[10:])
    # A gap after the warm-up: NaN carried through when asked for, or refused.
    scores = m.run_batch(TABLE, COLUMNS, forcing, observed, metric=metric, missing="propagate",
                         warmup=9)
    assert all(math.isnan(s) for s in scores)
    with pytest.raises(ValueError, match=r"^observed has a missing value \(NaN\) at index 9$"):
        m.run_batch(TABLE, COLUMNS, forcing, observed, metric=metric, missing="raise", warmup=9)
    with pytest.raises(ValueError, match=r"^member 0, the outflow has a missing value \(NaN\) "
                                         r"at index 12$"):
        m.run_batch(TABLE, COLUMNS, scored_forcing((3, 12)), observed, metric=metric,
                    missing="raise", warmup=10)


def test_no_pair_left_scores_nan():
    observed = observed_with(range(20, DAYS))
    for metric in ("kge", "nse"):
        scores = scored_basin().run_batch(TABLE, COLUMNS, scored_forcing(), observed,
                                          metric=metric, missing="omit", warmup=20)
        assert all(math.isnan(s) for s in scores)


@pytest.mark.parametrize("keywords, error, message", [
    ({"missing": "drop"}, ValueError,
     r"missing must be one of \[\"propagate\", \"omit\", \"raise\"\]; got 'drop'"),
    ({"missing": 1}, TypeError, "argument 'missing'"),
    ({"warmup": -1}, ValueError,
     f"warmup must be between 0 and {DAYS - 1} \\(the forcing has {DAYS} values\\); got -1"),
    ({"warmup": DAYS}, ValueError, f"warmup must be between 0 and {DAYS - 1} "),
    ({"warmup": 2.5}, TypeError, "argument 'warmup'"),
])
def test_bad_scoring_arguments_name_the_argument(keywords, error, message):
    with pytest.raises(error, match="^" + message):
        scored_basin().run_batch(TABLE, COLUMNS, scored_forcing(), observed_with(()), **keywords)
