"""vesparil.basin: a network of elements on one time axis, its checks, its batch and its data."""

import functools
import operator
from datetime import timedelta

import pytest

import vesparil

np = pytest.importorskip("numpy", reason="the batch's parameter table is a NumPy array")

basin = vesparil.basin
ru = vesparil.reservoir.reservoir_utils
LR = vesparil.baseflow.LinearReservoir
I = vesparil.utils.IncrementalTimeSeries  # noqa: E741
C = vesparil.utils.ContinuousTimeSeries

STEP = timedelta(minutes=30)
RAIN = [0.2, 0.8, 0.5, 0.1, 0.0, 0.6, 0.3] + [0.0] * 41
LOSS = (0.3, 1.5, 0.1, timedelta(days=3))
CLARK = (timedelta(hours=2), timedelta(hours=1))
LAYERS = {"fast": (timedelta(days=2), 0.3, 1.0), "slow": (timedelta(days=10), 0.5, 3.0)}
AREA = 500.0


curve = lambda: ru.ElevationStorage([100.0, 110.0], [0.0, 5.0e6])  # noqa: E731
outlets = lambda: {  # noqa: E731
    "spillway": ru.UnControlledDischargeInfo(ru.ElevationDischarge([100.0, 110.0], [0.0, 500.0])),
    "pump": ru.ConstantDischargeInfo(2.0, 100.5)}


def model(reach=False, reservoir=False, loss=True, layers=LAYERS):
    chain = [name for name, wanted in (("sub", True), ("reach", reach), ("pool", reservoir)) if wanted]
    below = dict(zip(chain, chain[1:]))
    m = basin.Basin(STEP)
    # No layers given as None, as the signature allows (it was refused once).
    baseflow = {name: LR(*args) for name, args in layers.items()} or None
    m.add_subbasin("sub", AREA, basin.DeficitAndConstant(*LOSS) if loss else None, basin.Clark(*CLARK),
                   baseflow, below.get("sub"))
    if reach:
        m.add_reach("reach", basin.Muskingum(timedelta(hours=1), 0.2, 2), below.get("reach"))
    if reservoir:
        m.add_reservoir("pool", basin.LevelPool(curve(), outlets(), 100.0))
    return m, chain[-1]


def hand_wired(reach=False, reservoir=False, loss=True, layers=LAYERS):
    """The chain of today's functions lined up by the recipe of docs/data.md."""
    rain = I(RAIN, STEP, "rainfall")
    steps = len(RAIN)
    if loss:
        split = vesparil.rainfall_loss.run_deficit_and_constant(rain, *LOSS)
        excess, infiltrated = split.excess, split.loss
    else:
        excess, infiltrated = rain, I([0.0] * steps, STEP, "rainfall")
    direct = vesparil.rainfall_transform.run_clark_uh(excess, AREA, *CLARK).data[:steps]
    reservoirs = {name: LR(*args) for name, args in layers.items()}
    if reservoirs:
        total, _ = vesparil.baseflow.run_linear_reservoir(AREA, infiltrated, reservoirs)
        base = [functools.reduce(operator.add, [layer.initial_q for layer in reservoirs.values()])]
        base += total.data[:-1]
    else:
        base = [0.0] * steps
    flow = [q + b for q, b in zip(direct, base, strict=True)]
    parts = {"excess": excess.data, "loss": infiltrated.data, "direct": direct, "baseflow": base}
    if reach:
        flow = vesparil.reach.run_muskingum_routing(C(flow, STEP, "discharge"), timedelta(hours=1),
                                                    0.2, 2, flow[0]).data
    if reservoir:
        pool = vesparil.reservoir.run_level_pool_routing(C(flow[:1] + flow, STEP, "discharge"), 100.0,
                                                         curve(), outlets())
        flow = pool.reservoir_total_outflow.data
        parts.update(storage=pool.reservoir_storage.data, elevation=pool.reservoir_elevation.data,
                     **{name: s.data for name, s in pool.reservoir_individual_outflows.items()})
    return flow, parts


@pytest.mark.parametrize("options", [
    {}, {"loss": False}, {"layers": {}}, {"reach": True}, {"reservoir": True},
    {"reach": True, "reservoir": True},
])
def test_basin_equals_the_hand_wired_chain_bit_for_bit(options):
    m, last = model(**options)
    run = m.run({"sub": RAIN})
    outflow = run[last].outflow
    by_hand, parts = hand_wired(**options)
    assert outflow.data == by_hand
    series = {**run["sub"].series, **(run["pool"].series if "pool" in run.names else {})}
    assert {name: s.data for name, s in series.items()} == parts
    assert len(outflow.data) == len(RAIN) and outflow.time_step == STEP
    # Forcing as a series or as an array gives the same bits.
    for rain in (I(RAIN, STEP, "rainfall"), np.array(RAIN)):
        assert m.run({"sub": rain})[last].outflow.data == outflow.data


def test_junction_adds_in_the_order_elements_were_added_and_sources_pass_through():
    m = basin.Basin(STEP)
    for name in "abc":
        m.add_source(name, "j")
    m.add_junction("j")
    run = m.run({"c": [0.3] * 4, "a": [0.1] * 4, "b": C([0.2] * 4, STEP, "discharge")})
    assert run["j"].outflow.data == [(0.1 + 0.2) + 0.3] * 4 != [0.1 + (0.2 + 0.3)] * 4
    summary = run.summary()
    assert list(summary) == ["a", "b", "c", "j"]
    # Volumes in acre-feet, the flows at the instants integrated by the trapezoid: 0.1 cfs over
    # the three steps between the four values, 3 x 1800 s / 43560.
    volume = (((0.1 + 0.1) + 0.1) + 0.1 - (0.1 + 0.1) * 0.5) * 1800 / 43560
    assert summary["a"]["volume_out"] == volume == summary["a"]["volume_in"]
    assert summary["j"]["balance"] == summary["j"]["volume_in"] - summary["j"]["volume_out"]


def test_summary_and_lookup_of_a_subbasin():
    run = model()[0].run({"sub": RAIN})
    row = run.summary()["sub"]
    flow = run["sub"].outflow.data
    assert row["peak"] == max(flow) and row["time_of_peak"] == STEP * flow.index(max(flow))
    # Rain added in order (not as sum() adds it since Python 3.12), times the area in acres,
    # over 12 inches a foot.
    assert row["volume_in"] == functools.reduce(operator.add, RAIN) * AREA / 12
    assert row["balance"] == row["volume_in"] - row["volume_out"]
    assert run.names == ["sub"] and len(run) == 1 and run["sub"].name == "sub"
    with pytest.raises(KeyError):
        run["nowhere"]


@pytest.mark.parametrize("build, message", [
    (lambda m: m.add_junction("j", "nowhere"), "junction 'j': downstream element 'nowhere' is not in the basin"),
    (lambda m: (m.add_junction("j", "k"), m.add_junction("k", "j"), m.add_junction("out")),
     "the elements 'j' -> 'k' -> 'j' form a cycle"),
    (lambda m: m.add_junction("j"), "junction 'j': no element flows into it"),
    (lambda m: (m.add_source("a"), m.add_source("b")),
     "the basin has two outlets, 'a' and 'b': give one of them a downstream element"),
    (lambda m: (m.add_source("a", "b"), m.add_source("b")),
     "source 'a': downstream element 'b' is a source, which takes no inflow"),
    (lambda m: m.add_source("a.b"), "source 'a.b': a name cannot hold '.'"),
    (lambda m: None, "the basin has no elements"),
    # A taken name is refused already when it is added.
    (lambda m: (m.add_source("a"), m.add_junction("a")), "junction 'a': the name is already taken"),
])
def test_network_errors_name_the_element(build, message):
    m = basin.Basin(STEP)
    with pytest.raises(ValueError, match="^" + message.replace(".", r"\.")):
        build(m)
        m.run({name: [1.0] for name in ("a", "b", "a.b") if name in m.names})


@pytest.mark.parametrize("forcing, message", [
    ({}, "subbasin 'sub': no series given"),
    ({"sub": RAIN, "other": RAIN}, "forcing: 'other' is not a subbasin or source"),
    ({"sub": I(RAIN, timedelta(hours=1), "rainfall")}, "forcing: the series of 'sub' has a time step of 3600 s"),
])
def test_forcing_errors(forcing, message):
    with pytest.raises(ValueError, match="^" + message):
        model()[0].run(forcing)


COLUMNS = ["sub.loss.initial_deficit", "sub.transform.tc", "sub.baseflow.slow.k_duration",
           "sub.baseflow.fast.gw_fraction", "reach.muskingum.k", "pool.level_pool.initial_elevation"]
# Two single reservoirs take the batch's register path; cascades and three layers the general one.
CASCADES = {"fast": (timedelta(days=2), 0.3, 1.0, 2), "slow": (timedelta(days=10), 0.3, 3.0),
            "deep": (timedelta(days=40), 0.2, 5.0, 3)}
PAIR = {"fast": (timedelta(days=2), 0.3, 1.0, 2), "slow": (timedelta(days=10), 0.3, 3.0)}


def batch_inputs(members=9, seed=3, layers=LAYERS):
    rng = np.random.default_rng(seed)
    table = rng.uniform([0.0, 1.0, 24.0, 0.0, 0.5, 100.0], [1.0, 6.0, 400.0, 0.5, 2.0, 101.0], (members, 6))
    m, _ = model(reach=True, reservoir=True, layers=layers)
    observed = np.array(m.run({"sub": RAIN})["pool"].outflow.data) * 1.1 + 0.5
    return m, table, observed


def test_batch_table_at_an_odd_address_is_read_by_value():
    m, table, observed = batch_inputs(5)
    shifted = np.frombuffer(bytearray(table.nbytes + 1), np.float64, table.size, 1).reshape(table.shape)
    shifted[:] = table
    assert m.run_batch(shifted, COLUMNS, {"sub": RAIN}, observed) == m.run_batch(
        table, COLUMNS, {"sub": RAIN}, observed)


# Members go in blocks of four: 9 = 4 + 4 + 1, 11 = 4 + 4 + 3, 6 = 4 + 2.
@pytest.mark.parametrize("metric, members, layers", [
    ("kge", 9, LAYERS), ("nse", 11, CASCADES), ("kge", 6, PAIR)])
def test_batch_members_equal_single_runs_whatever_the_thread_count(metric, members, layers):
    m, table, observed = batch_inputs(members, layers=layers)
    results = [m.run_batch(table, COLUMNS, {"sub": RAIN}, observed, metric=metric, threads=threads,
                           outflows=True) for threads in (1, 2, None)]
    scores, rows = results[0]
    assert all(other == scores and more.tobytes() == rows.tobytes() for other, more in results[1:])
    for member, values in enumerate(table):
        flow = m.with_parameters(list(values), COLUMNS).run({"sub": RAIN})["pool"].outflow.data
        assert rows[member].tolist() == flow
        if metric == "kge":
            assert scores[member] == vesparil.metrics.calculate_kge(flow, observed)
        else:
            assert scores[member] == vesparil.metrics.calculate_nse(flow, observed)


def test_batch_scores_another_element_and_leaves_its_table_alone():
    m, table, _ = batch_inputs(4)
    before = table.copy()
    observed = np.array(m.run({"sub": RAIN})["sub"].outflow.data)
    scores = m.run_batch(np.ascontiguousarray(table[:, :4]), COLUMNS[:4], {"sub": RAIN}, observed, at="sub")
    assert len(scores) == 4 and (table == before).all()
    assert m.run_batch(np.empty((0, 1)), COLUMNS[:1], {"sub": RAIN}, observed) == []


@pytest.mark.parametrize("column, value, message", [
    ("sub.subbasin.area", -1.0, "member 2, column 'sub.subbasin.area': subbasin 'sub': area must be >= 0; got -1"),
    ("reach.muskingum.k", 20.0, "member 2, column 'reach.muskingum.k': reach 'reach': Stability Error: "
     r"2\*k\*x per sub-reach \(4.0000\) > dt \(0.5000\)"),
    ("sub.transform.tc", -1.0, "member 2, column 'sub.transform.tc': a duration must be >= 0 hours"),
    ("sub.baseflow.fast.gw_fraction", 0.9, "member 2, column 'sub.baseflow.fast.gw_fraction': subbasin "
     "'sub': Total fraction 1.4 > 1.0"),
    ("pool.level_pool.initial_elevation", 120.0, "member 2, column 'pool.level_pool.initial_elevation': "
     "reservoir 'pool': `elevation` 120 is outside the range"),
])
def test_bad_member_fails_before_any_work(column, value, message):
    m, _, observed = batch_inputs()
    good = m.to_dict()
    table = np.full((3, 1), value)
    table[:2] = 0.1 if "fraction" in column else 100.0 if "elevation" in column else 1.0
    with pytest.raises(ValueError, match="^" + message):
        m.run_batch(table, [column], {"sub": RAIN}, observed, outflows=True)
    assert m.to_dict() == good


@pytest.mark.parametrize("change, error, message", [
    ({"columns": ["sub.clark.tc"]}, ValueError, "column 'sub.clark.tc': unknown method 'clark'"),
    ({"columns": ["reach.loss.initial_deficit"]}, ValueError, "column 'reach.loss.initial_deficit': element"
     " 'reach' is a reach, which has no method 'loss'"),
    ({"columns": ["sub.baseflow.deep.gw_fraction"]}, ValueError, "column 'sub.baseflow.deep.gw_fraction': "
     "subbasin 'sub' has no baseflow layer 'deep'"),
    ({"parameters": np.ones((2, 1), dtype=np.float32)}, TypeError, "argument 'parameters'"),
    ({"parameters": np.ones((2, 2), order="F")}, TypeError, "argument 'parameters'"),
    ({"parameters": np.ones((2, 2))}, ValueError, "parameters has 2 columns; columns names 1"),
    ({"observed": [1.0]}, ValueError, "observed has 1 values; the forcing has 48"),
    ({"metric": "rmse"}, ValueError, r'metric must be one of \["kge", "nse"\]'),
    ({"threads": 0}, ValueError, "threads must be between 1 and 1024"),
    ({"at": "sea"}, ValueError, "at: 'sea' is not an element"),
])
def test_batch_argument_errors(change, error, message):
    m, _, observed = batch_inputs()
    arguments = {"parameters": np.ones((2, 1)), "columns": ["sub.loss.initial_deficit"],
                 "forcing": {"sub": RAIN}, "observed": observed, **change}
    with pytest.raises(error, match="^" + message):
        m.run_batch(**arguments)
