"""vesparil.basin with the event methods: each one on the basin's axis, in the batch and in plain
data, checked against its standalone function (the rule of docs/basin.md, "One time axis")."""

import json
import pickle
from datetime import timedelta

import pytest

import vesparil

np = pytest.importorskip("numpy", reason="the batch's parameter table is a NumPy array")

basin = vesparil.basin
ru = vesparil.reservoir.reservoir_utils
I = vesparil.utils.IncrementalTimeSeries  # noqa: E741
C = vesparil.utils.ContinuousTimeSeries

STEP = timedelta(minutes=30)
RAIN = [0.2, 0.8, 0.5, 0.1, 0.0, 0.6, 0.3] + [0.0] * 41
INFLOW = [10.0, 10.0, 40.0, 120.0, 260.0, 300.0, 220.0, 150.0, 90.0, 50.0, 30.0] + [20.0] * 37
AREA = 500.0
CLARK = (timedelta(hours=2), timedelta(hours=1))
LAG = timedelta(minutes=75)
SNYDER = (2.0, 0.6, 2.5, 1.2)
CHANNEL = (20000.0, 0.001, 0.04, 20.0, 2.0)
T = len(RAIN)


def curve():
    return ru.ElevationStorage([100.0, 104.0, 110.0], [0.0, 1.0e6, 5.0e6])


def outlets():
    return {"spillway": ru.UnControlledDischargeInfo(
                ru.ElevationDischarge([100.0, 105.0, 110.0], [0.0, 80.0, 500.0])),
            "pump": ru.ConstantDischargeInfo(2.0, 100.5)}


def loss_basin(loss):
    m = basin.Basin(STEP)
    # Baseflow fed by the loss: the batch runs these losses member by member beside it.
    m.add_subbasin("sub", AREA, loss, basin.Clark(*CLARK),
                   {"fast": vesparil.baseflow.LinearReservoir(timedelta(days=2), 0.4, 1.0)})
    return m


def transform_basin(transform):
    m = basin.Basin(STEP)
    m.add_subbasin("sub", AREA, None, transform)
    return m


def routed_basin(add, routing):
    m = basin.Basin(STEP)
    m.add_source("up", "down")
    getattr(m, add)("down", routing)
    return m


def by_loss(run, *arguments):
    split = run(I(RAIN, STEP, "rainfall"), *arguments)
    direct = vesparil.rainfall_transform.run_clark_uh(split.excess, AREA, *CLARK).data[:T]
    layer = {"fast": vesparil.baseflow.LinearReservoir(timedelta(days=2), 0.4, 1.0)}
    total, _ = vesparil.baseflow.run_linear_reservoir(AREA, split.loss, layer)
    return [q + b for q, b in zip(direct, [1.0] + total.data[:-1], strict=True)]


def by_unit_hydrograph(run, *arguments):
    """Value k of these hydrographs is the flow at (k + 1) dt: one step later on the axis."""
    return [0.0] + run(I(RAIN, STEP, "rainfall"), AREA, *arguments).data[:T - 1]


# id, basin, the element whose outflow is compared, its standalone function lined up by the rule,
# and batch columns with a range of good values.
METHODS = [
    ("curve number", lambda: loss_basin(basin.CurveNumber(78.0, 0.1)), "sub",
     lambda: by_loss(vesparil.rainfall_loss.run_curve_number, 78.0, 0.1),
     {"sub.loss.curve_number": (50.0, 98.0), "sub.loss.initial_abstraction_ratio": (0.0, 0.3)}),
    ("Green-Ampt", lambda: loss_basin(basin.GreenAmpt(0.4, 4.3, 0.3, 0.2)), "sub",
     lambda: by_loss(vesparil.rainfall_loss.run_green_ampt, 0.4, 4.3, 0.3, 0.2),
     {"sub.loss.hydraulic_conductivity": (0.05, 1.0), "sub.loss.suction_head": (1.0, 10.0),
      "sub.loss.moisture_deficit": (0.1, 0.5), "sub.loss.initial_infiltration": (0.0, 0.5)}),
    ("SCS unit hydrograph", lambda: transform_basin(basin.ScsUnitHydrograph(LAG, 300.0)), "sub",
     lambda: by_unit_hydrograph(vesparil.rainfall_transform.run_scs_uh, LAG, 300.0),
     {"sub.transform.lag": (0.5, 3.0), "sub.transform.peak_rate_factor": (300.0, 600.0),
      "sub.subbasin.area": (100.0, 900.0)}),
    ("Snyder", lambda: transform_basin(basin.Snyder(*SNYDER)), "sub",
     lambda: by_unit_hydrograph(vesparil.rainfall_transform.run_snyder_uh, *SNYDER),
     {"sub.transform.ct": (1.5, 2.5), "sub.transform.cp": (0.4, 0.8),
      "sub.transform.stream_length": (1.0, 4.0), "sub.transform.centroid_length": (0.5, 2.0)}),
    ("Muskingum-Cunge", lambda: routed_basin("add_reach", basin.MuskingumCunge(*CHANNEL)), "down",
     lambda: vesparil.reach.run_muskingum_cunge_routing(C(INFLOW, STEP, "discharge"),
                                                        *CHANNEL).data,
     {"down.muskingum_cunge.length": (5000.0, 40000.0), "down.muskingum_cunge.slope": (1e-4, 1e-2),
      "down.muskingum_cunge.manning_n": (0.02, 0.08), "down.muskingum_cunge.bottom_width": (5.0, 50.0),
      "down.muskingum_cunge.side_slope": (0.0, 3.0)}),
    ("storage indication",
     lambda: routed_basin("add_reservoir", basin.StorageIndication(curve(), outlets(), 101.0)), "down",
     lambda: vesparil.reservoir.run_storage_indication_routing(
         C(INFLOW, STEP, "discharge"), 101.0, curve(), outlets()).reservoir_total_outflow.data,
     {"down.storage_indication.initial_elevation": (100.0, 106.0)}),
]
IDS = [row[0] for row in METHODS]
FORCING = {"sub": RAIN, "up": INFLOW}


def forcing_of(m):
    return {name: FORCING[name] for name in m.names if name in FORCING}


@pytest.mark.parametrize("make, at, standalone", [row[1:4] for row in METHODS], ids=IDS)
def test_one_element_equals_its_standalone_function_on_the_axis(make, at, standalone):
    outflow = make().run(forcing_of(make()))[at].outflow
    assert outflow.data == standalone() and len(outflow.data) == T


@pytest.mark.parametrize("make, columns", [(row[1], row[4]) for row in METHODS], ids=IDS)
def test_batch_members_equal_single_runs(make, columns):
    m = make()
    names = list(columns)
    low, high = zip(*columns.values())
    table = np.random.default_rng(5).uniform(low, high, (6, len(names)))
    observed = np.array(m.run(forcing_of(m))[m.names[-1]].outflow.data) + 1.0
    scores, rows = m.run_batch(table, names, forcing_of(m), observed, threads=2, outflows=True)
    for member, values in enumerate(table):
        member_basin = m.with_parameters(list(values), names)
        # Each column lands on its own parameter (plain data holds durations in seconds).
        plain = {e["name"]: e for e in member_basin.to_dict()["elements"]}
        for column, value in zip(names, values, strict=True):
            element, method, parameter = column.split(".")
            held = plain[element] if method == "subbasin" else plain[element][method]
            assert held[parameter] == (value * 3600.0 if parameter == "lag" else value), column
        single = member_basin.run(forcing_of(m))[m.names[-1]].outflow.data
        assert rows[member].tolist() == single
        assert scores[member] == vesparil.metrics.calculate_kge(single, observed)


@pytest.mark.parametrize("index, column, value, message", [
    (0, "sub.loss.curve_number", 120.0, "subbasin 'sub': curve_number must be > 0 and <= 100; got 120"),
    (1, "sub.loss.hydraulic_conductivity", 0.0,
     "subbasin 'sub': hydraulic_conductivity must be > 0; got 0"),
    (2, "sub.transform.lag", -1.0, "a duration must be >= 0 hours"),
    (2, "sub.transform.peak_rate_factor", 0.0, "subbasin 'sub': peak_rate_factor must be > 0; got 0"),
    (3, "sub.transform.cp", -0.5, "subbasin 'sub': cp must be > 0; got -0.5"),
    (4, "down.muskingum_cunge.slope", 0.0, "reach 'down': slope must be > 0; got 0"),
    (5, "down.storage_indication.initial_elevation", 120.0,
     "reservoir 'down': `elevation` 120 is outside the range"),
    (0, "sub.loss.initial_deficit", 1.0,
     "column 'sub.loss.initial_deficit': the loss method of subbasin 'sub' has no parameter"),
    (3, "sub.transform.lag", 1.0,
     "column 'sub.transform.lag': the transform method of subbasin 'sub' has no parameter"),
    (4, "down.muskingum.k", 1.0, "column 'down.muskingum.k': reach 'down' has no method 'muskingum'"),
    (5, "down.level_pool.initial_elevation", 101.0,
     "column 'down.level_pool.initial_elevation': reservoir 'down' has no method 'level_pool'"),
])
def test_bad_values_and_columns_fail_before_any_work(index, column, value, message):
    m = METHODS[index][1]()
    table = np.full((3, 1), value)
    low, high = METHODS[index][4].get(column, (value, value))
    table[:2] = (low + high) / 2
    if column in METHODS[index][4]:
        message = f"member 2, column '{column}': " + message
    observed = [1.0] * T
    with pytest.raises(ValueError, match="^" + message):
        m.run_batch(table, [column], forcing_of(m), observed, outflows=True)


@pytest.mark.parametrize("make", [row[1] for row in METHODS], ids=IDS)
def test_plain_data_round_trips(make):
    m = make()
    plain = m.to_dict()
    again = basin.Basin.from_dict(json.loads(json.dumps(plain)))
    assert again.to_dict() == plain == pickle.loads(pickle.dumps(m)).to_dict()
    at = m.names[-1]
    assert again.run(forcing_of(m))[at].outflow.data == m.run(forcing_of(m))[at].outflow.data


@pytest.mark.parametrize("index, edit, error, message", [
    (0, lambda e: e["loss"].update(method="horton"), ValueError,
     "element 'sub'.loss: unknown loss method 'horton'"),
    (3, lambda e: e["transform"].pop("cp"), ValueError, "element 'sub'.transform: missing 'cp'"),
    (4, lambda e: e["muskingum_cunge"].update(sub_steps=1.5), TypeError, "element 'down'"),
])
def test_from_dict_errors_of_the_event_methods(index, edit, error, message):
    plain = METHODS[index][1]().to_dict()
    edit(plain["elements"][-1])
    with pytest.raises(error, match="^" + message):
        basin.Basin.from_dict(plain)
