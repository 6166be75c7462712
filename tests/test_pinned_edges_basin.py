"""Edges of the basin that a changed rule would pass unseen: batch columns that are NaN or a
duration of 0 hours, a Muskingum reach between k x and 2 k x, a junction behind a reach, and
plain data that is refused or must round-trip."""

import copy
import math
from datetime import timedelta

import pytest

import vesparil

np = pytest.importorskip("numpy", reason="the batch's parameter table is a NumPy array")

basin = vesparil.basin
ru = vesparil.reservoir.reservoir_utils
LR = vesparil.baseflow.LinearReservoir
STEP = timedelta(hours=1)
DAY = timedelta(days=1)
ZERO = timedelta(0)
RAIN = [0.0, 0.2, 0.7, 0.5, 0.1] + [0.0] * 7
OBSERVED = [1.0] * len(RAIN)


def chain(recovery=timedelta(days=3), tc=timedelta(hours=2), storage=timedelta(hours=1),
          k=STEP, x=0.2, sub_reaches=1, lag=None):
    """north (deficit and constant, Clark or SCS, one layer) -> reach r -> lake."""
    m = basin.Basin(STEP)
    transform = basin.Clark(tc, storage) if lag is None else basin.ScsUnitHydrograph(lag)
    m.add_subbasin("north", 640.0, basin.DeficitAndConstant(0.3, 1.5, 0.1, recovery), transform,
                   {"gw": LR(timedelta(days=2), 0.5, 3.0)}, "r")
    m.add_reach("r", basin.Muskingum(k, x, sub_reaches), "lake")
    m.add_reservoir("lake", basin.StorageIndication(
        ru.ElevationStorage([100.0, 110.0], [0.0, 4.0e6]),
        {"spill": ru.UnControlledDischargeInfo(ru.ElevationDischarge([100.0, 110.0],
                                                                     [0.0, 900.0]), 1.5)}, 101.0))
    return m


# --- batch columns ------------------------------------------------------------------------

def snowy():
    """A daily GR4J sub-basin behind a degree-day store."""
    m = basin.Basin(DAY)
    m.add_subbasin("g", 100.0, None, basin.GR4J(300.0, 0.5, 80.0, 2.0,
                                                snow=basin.DegreeDaySnow(0.0, 3.0, 0.05, 0.1)))
    return m, {"g": {"precipitation": [1.0] * 5, "evapotranspiration": [0.5] * 5,
                     "temperature": [0.0] * 5}}, [1.0] * 5


# Every column holding NaN is refused as such, also where the element's own check would let a
# NaN through (a layer's gw_fraction is tested by < 0 and > 1).
@pytest.mark.parametrize("make, column", [
    *[((lambda: (chain(), {"north": RAIN}, OBSERVED)), column) for column in (
        "north.loss.initial_deficit", "north.baseflow.gw.initial_q",
        "north.baseflow.gw.gw_fraction", "north.loss.maximum_deficit", "north.subbasin.area",
        "r.muskingum.x", "lake.storage_indication.initial_elevation")],
    (snowy, "g.gr4j.initial_snowpack"),
    (snowy, "g.gr4j.x2"),
])
def test_a_nan_column_is_refused(make, column):
    m, forcing, observed = make()
    for call in (lambda: m.run_batch(np.array([[math.nan]]), [column], forcing, observed),
                 lambda: m.with_parameters([math.nan], [column])):
        with pytest.raises(ValueError, match=f"^member 0, column '{column}': the value is NaN$"):
            call()


# A duration of exactly 0 hours is a duration like any other: the member has the bits of the
# basin built with timedelta(0).
@pytest.mark.parametrize("column, zero, base", [
    ("north.loss.recovery", {"recovery": ZERO}, {}),
    ("north.transform.tc", {"tc": ZERO}, {}),
    ("north.transform.storage", {"storage": ZERO}, {}),
    ("r.muskingum.k", {"k": ZERO}, {}),
    ("north.transform.lag", {"lag": ZERO}, {"lag": STEP}),
])
def test_a_duration_of_zero_hours_runs_as_a_single_run(column, zero, base):
    scores, rows = chain(**base).run_batch(np.array([[0.0]]), [column], {"north": RAIN}, OBSERVED,
                                           metric="nse", outflows=True)
    single = chain(**(base | zero)).run({"north": RAIN})["lake"].outflow.data
    assert rows[0].tolist() == single
    assert scores[0] == vesparil.metrics.calculate_nse(single, OBSERVED)


# --- Muskingum stability ------------------------------------------------------------------

# Per sub-reach, 2 k x above the step is refused (the check is not k x > dt); exactly the step
# is accepted.
@pytest.mark.parametrize("k_hours, x, sub_reaches, product", [
    (3.0, 0.25, 1, "1.5000"),    # k x = 0.75 <= dt = 1 < 2 k x = 1.5
    (2.5, 0.25, 1, "1.2500"),
    (5.0, 0.3, 2, "1.5000"),     # per sub-reach k = 2.5
    (2.0, 0.5, 1, "2.0000"),     # k x = dt exactly
    (4.0, 0.25, 2, None),        # 2 k x = dt: accepted
    (4.0, 0.125, 1, None),
])
def test_muskingum_between_k_x_and_2_k_x_is_refused(k_hours, x, sub_reaches, product):
    m = chain(k=timedelta(hours=k_hours), x=x, sub_reaches=sub_reaches)
    calls = [lambda: m.run({"north": RAIN}),
             lambda: m.run_batch(np.array([[k_hours]]), ["r.muskingum.k"], {"north": RAIN},
                                 OBSERVED),
             lambda: m.with_parameters([k_hours], ["r.muskingum.k"])]
    if product is None:
        for call in calls:
            call()
        return
    stability = (rf"reach 'r': Stability Error: 2\*k\*x per sub-reach \({product}\) > dt "
                 r"\(1.0000\)\. Decrease k or x, or increase sub_reaches\.$")
    prefixes = ["^", "^member 0, column 'r.muskingum.k': ", "^member 0, column 'r.muskingum.k': "]
    for call, prefix in zip(calls, prefixes):
        with pytest.raises(ValueError, match=prefix + stability):
            call()


# --- a junction behind a reach ------------------------------------------------------------

# "a" is added before "b", whose water reaches the junction only through the reach; a source
# added last makes the order of the sum visible.
@pytest.mark.parametrize("with_source", [False, True])
def test_a_junction_waits_for_the_reach_and_adds_in_the_order_added(with_source):
    m = basin.Basin(STEP)
    m.add_subbasin("a", 640.0, None, basin.Clark(timedelta(hours=2), STEP), None, "j")
    m.add_subbasin("b", 300.0, None, basin.Clark(timedelta(hours=3), 2 * STEP), None, "r")
    m.add_reach("r", basin.Muskingum(STEP, 0.2), "j")
    forcing = {"a": RAIN, "b": RAIN}
    if with_source:
        m.add_source("s", "j")
        forcing["s"] = [0.3] * len(RAIN)
    m.add_junction("j")
    run = m.run(forcing)
    assert run["r"].outflow.data[2] > 0.0  # the reach's water has arrived by then
    expected = [a + r for a, r in zip(run["a"].outflow.data, run["r"].outflow.data)]
    if with_source:
        other = [a + (r + s) for a, r, s in zip(run["a"].outflow.data, run["r"].outflow.data,
                                                 forcing["s"])]
        expected = [ar + s for ar, s in zip(expected, forcing["s"])]
        assert other != expected
    assert run["j"].outflow.data == expected


# --- plain data ---------------------------------------------------------------------------

LAYER = {"k_duration": 172800, "gw_fraction": 0.5, "initial_q": 1.0, "num_reservoir": 1}


@pytest.mark.parametrize("model", [
    lambda: basin.GR4J(300.0, 0.5, 80.0, 2.0),
    lambda: basin.HBV(0.0, 3.0, 1.1, 0.05, 0.1, 210.0, 0.7, 2.0, 1.2, 15.0, 0.2, 0.1, 0.04, 2.5),
])
def test_a_continuous_subbasin_with_baseflow_layers_is_refused(model):
    m = basin.Basin(DAY)
    m.add_subbasin("g", 100.0, None, model())
    plain = m.to_dict()
    plain["elements"][0]["baseflow"] = {"gw": LAYER}
    with pytest.raises(ValueError, match="^element 'g': a continuous model takes no loss or "
                                         "baseflow$"):
        basin.Basin.from_dict(plain)
    with pytest.raises(ValueError, match="^subbasin 'h': a continuous model"):
        m.add_subbasin("h", 100.0, None, model(), {"gw": LR(timedelta(days=2), 0.5, 1.0)})


# The offset read back is the one written, and the run is the standalone routing's with it.
@pytest.mark.parametrize("offset", [1.5, -0.25, None])
def test_a_spillway_offset_round_trips(offset):
    plain = chain().to_dict()
    plain["elements"][2]["storage_indication"]["outlets"]["spill"]["elevation_offset"] = offset
    again = basin.Basin.from_dict(copy.deepcopy(plain))
    assert again.to_dict() == plain
    run = again.run({"north": RAIN})
    alone = vesparil.reservoir.run_storage_indication_routing(
        vesparil.utils.ContinuousTimeSeries(run["r"].outflow.data, STEP, "discharge"), 101.0,
        ru.ElevationStorage([100.0, 110.0], [0.0, 4.0e6]),
        {"spill": ru.UnControlledDischargeInfo(ru.ElevationDischarge([100.0, 110.0],
                                                                     [0.0, 900.0]), offset)})
    assert run["lake"].outflow.data == alone.reservoir_total_outflow.data


def _at(path, value):
    def edit(plain):
        target = plain
        for key in path[:-1]:
            target = target[key]
        target[path[-1]] = value
        return plain
    return edit


NOT_A_DICT = "is not an instance of 'dict'"


@pytest.mark.parametrize("edit, message", [
    (lambda p: [p], NOT_A_DICT),
    (_at(["elements", 0], ["north"]), NOT_A_DICT),
    (_at(["elements", 0, "loss"], [0.3]), "element 'north'.loss: 'list' object " + NOT_A_DICT),
    (_at(["elements", 0, "transform"], 2.0), "element 'north'.transform: 'float' object "
     + NOT_A_DICT),
    (_at(["elements", 0, "baseflow"], [LAYER]), "element 'north'.baseflow: 'list' object "
     + NOT_A_DICT),
    (_at(["elements", 0, "baseflow", "gw"], 5), "element 'north'.baseflow: not a dict of layers"),
    (_at(["elements", 1, "muskingum"], 1), "element 'r'.muskingum: 'int' object " + NOT_A_DICT),
    (_at(["elements", 2, "storage_indication"], "pool"),
     "element 'lake'.storage_indication: 'str' object " + NOT_A_DICT),
    (_at(["elements", 2, "storage_indication", "elevation_storage"], (1.0, 2.0)),
     "element 'lake'.storage_indication.elevation_storage: 'tuple' object " + NOT_A_DICT),
    (_at(["elements", 2, "storage_indication", "outlets"], ["spill"]),
     "element 'lake'.storage_indication.outlets: 'list' object " + NOT_A_DICT),
    (_at(["elements", 2, "storage_indication", "outlets", "spill"], 1),
     "element 'lake'.storage_indication.outlets.spill: 'int' object " + NOT_A_DICT),
    (_at(["elements", 2, "storage_indication", "outlets", "spill", "elevation_discharge"], 1),
     "element 'lake'.storage_indication.outlets.spill.elevation_discharge: 'int' object "
     + NOT_A_DICT),
    (_at(["elements", 0, "snow"], 1), "element 'north'.snow: 'int' object " + NOT_A_DICT),
    (_at(["elements", 0, "evapotranspiration"], "oudin"),
     "element 'north'.evapotranspiration: 'str' object " + NOT_A_DICT),
])
def test_a_non_dict_where_a_dict_belongs_is_a_type_error(edit, message):
    plain = edit(chain().to_dict())
    with pytest.raises(TypeError) as error:
        basin.Basin.from_dict(plain)
    assert type(error.value) is TypeError and str(error.value).endswith(message)
