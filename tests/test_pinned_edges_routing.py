"""Edges of the newer routings that a changed rule would pass unseen: Muskingum-Cunge's starting
storage, its grid's bounds and deep narrow sections; storage indication drained below its table,
a spillway's offset (level pool routing's too), and each outlet's own release in the total."""

import math
from datetime import timedelta

import pytest

import vesparil

C = vesparil.utils.ContinuousTimeSeries
ru = vesparil.reservoir.reservoir_utils
reservoir = vesparil.reservoir
run_cunge = vesparil.reach.run_muskingum_cunge_routing
HOUR = timedelta(hours=1)
CHANNEL = dict(length=20000.0, slope=0.001, manning_n=0.04, bottom_width=20.0, side_slope=2.0)


# --- Muskingum-Cunge ----------------------------------------------------------------------

# The reach starts steady at the first inflow with S = K (X I0 + (1 - X) I0) in each cell, which
# is not K I0 to the bit for every I0: the first outflows of a steady start, to the bit.
@pytest.mark.parametrize("start, options, bits", [
    (88.8, {"reference_flow": 300.0, "sub_reaches": 1, "sub_steps": 1},
     ["0x1.6333333333333p+6", "0x1.6333333333330p+6", "0x1.6333333333334p+6",
      "0x1.98d57a5814fccp+5"]),
    (77.7, {"sub_reaches": 1, "sub_steps": 1},
     ["0x1.36ccccccccccdp+6", "0x1.36ccccccccccdp+6", "0x1.36ccccccccccep+6",
      "0x1.59b9844561548p+5"]),
    (77.7, {},
     ["0x1.36ccccccccccdp+6", "0x1.36ccccccccccdp+6", "0x1.36ccccccccccep+6",
      "0x1.59b9844561548p+5"]),
    (9.9, {"sub_reaches": 1, "sub_steps": 1},   # the dip before the wave (C0 < 0)
     ["0x1.3cccccccccccdp+3", "0x1.3ccccccccccccp+3", "0x1.3cccccccccccbp+3",
      "-0x1.9774b53edbdd7p+0"]),
])
def test_cunge_first_outflows_from_the_steady_start(start, options, bits):
    inflow = C([start, start, start, 4.0 * start], HOUR, "discharge")
    assert [q.hex() for q in run_cunge(inflow, **CHANNEL, **options).data] == bits


@pytest.mark.parametrize("options, message", [
    ({"sub_reaches": 100000, "sub_steps": 1}, None),
    ({"sub_reaches": 1, "sub_steps": 100000}, None),
    ({"sub_reaches": 100001}, "sub_reaches must be between 1 and 100000; got 100001"),
    ({"sub_steps": 100001}, "sub_steps must be between 1 and 100000; got 100001"),
])
def test_cunge_grid_bounds(options, message):
    inflow = C([100.0, 500.0], HOUR, "discharge")
    calls = [lambda: run_cunge(inflow, **CHANNEL, **options),
             lambda: vesparil.basin.MuskingumCunge(**CHANNEL, **options)]
    if message is None:
        out = calls[0]().data
        assert len(out) == 2 and all(math.isfinite(q) and q > 0.0 for q in out)
        calls[1]()
        return
    for call in calls:
        with pytest.raises(ValueError) as error:
            call()
        assert str(error.value) == message


def manning(channel, y):
    """Flow, dQ/dy and top width at depth y (docs/event_routing.md, steps 3 and 4)."""
    b, z = channel["bottom_width"], channel["side_slope"]
    wall = math.sqrt(1.0 + z * z)
    area, perimeter, top = (b + z * y) * y, b + 2.0 * y * wall, b + 2.0 * z * y
    q = 1.49 / channel["manning_n"] * area * (area / perimeter) ** (2 / 3) * math.sqrt(
        channel["slope"])
    return q, q * (5 / 3 * top / area - 2 / 3 * 2.0 * wall / perimeter), top


def routed_by_hand(inflow, channel, reference, dt):
    """One cell, one sub-step, K and X at the normal depth of `reference` found by bisection."""
    low, high = 0.0, 1.0
    while manning(channel, high)[0] < reference:
        high *= 2.0
    while low < (low + high) / 2.0 < high:
        mid = (low + high) / 2.0
        low, high = (mid, high) if manning(channel, mid)[0] < reference else (low, mid)
    _, slope, top = manning(channel, low)
    celerity, unit_flow = slope / top, reference / top
    k = channel["length"] / celerity
    x = (1.0 - unit_flow / (channel["slope"] * celerity * channel["length"])) / 2.0
    storage, out = k * inflow[0], [inflow[0]]
    for before, after in zip(inflow, inflow[1:]):
        moved = dt / 2.0 * (before + after - out[-1])
        out.append((storage + moved - k * x * after) / (k * (1.0 - x) + dt / 2.0))
        storage = storage + moved - dt / 2.0 * out[-1]
    return out, low


# Narrow and deep: at these flows the normal depth is tens of thousands of feet (a billion in the
# 0.01 ft slot), where Newton's step from the bracket's ends can overshoot it.
@pytest.mark.parametrize("section, depth", [
    (dict(bottom_width=1.0, side_slope=0.0, slope=0.01, manning_n=0.03), 1.6e4),
    (dict(bottom_width=0.01, side_slope=0.0, slope=0.0001, manning_n=0.1), 1.1e9),
    (dict(bottom_width=0.0, side_slope=0.001, slope=0.0001, manning_n=0.1), 1.1e4),
    (dict(bottom_width=0.5, side_slope=0.0, slope=0.05, manning_n=0.2), 1.5e5),
])
def test_cunge_deep_narrow_section_agrees_with_manning(section, depth):
    channel = dict(length=5000.0, **section)
    flows = [1e4, 5e4, 1e5, 2e4, 1e4]
    inflow = C(flows, HOUR, "discharge")
    out = run_cunge(inflow, **channel, reference_flow=5e4, sub_reaches=1, sub_steps=1).data
    expected, y = routed_by_hand(flows, channel, 5e4, 3600.0)
    assert y == pytest.approx(depth, rel=0.1)
    assert out == pytest.approx(expected, rel=1e-12)
    variable = run_cunge(inflow, **channel).data
    assert all(math.isfinite(q) for q in variable) and max(variable) <= max(flows)


# --- storage indication -------------------------------------------------------------------

# 20,000 ft3 below the curve's first elevation: the table's bottom is N0 = 2 S0 / dt, not 0.
CURVE = ru.ElevationStorage([100.0, 110.0], [2.0e4, 1.02e6])
N0 = (2.0 * 2.0e4) / 3600.0
N1 = (2.0 * 7.0e4) / 3600.0 + 500.0   # at 100.5 ft, where the outlet has opened
W = ((40.0 + N0) - N0) / (N1 - N0)


# A 500 cfs outlet opening at 100.5 ft drains 1e5 ft3 in 200 s: an hourly step would take more
# than the pool holds (2 S / dt - O < N0), so N is held at the table's bottom, the pool at its
# first point. 40 cfs then refill it along the table's first interval.
@pytest.mark.parametrize("inflow, outflow, elevation, storage", [
    ([0.0, 0.0, 0.0], [500.0, 0.0, 0.0], [101.0, 100.0, 100.0],
     [1.2e5, (N0 * 3600.0) / 2.0, (N0 * 3600.0) / 2.0]),
    ([0.0, 0.0, 40.0], [500.0, 0.0, W * 500.0], [101.0, 100.0, 100.0 + W * 0.5],
     [1.2e5, (N0 * 3600.0) / 2.0, (((40.0 + N0) - W * 500.0) * 3600.0) / 2.0]),
])
def test_storage_indication_drained_below_its_table(inflow, outflow, elevation, storage):
    routed = reservoir.run_storage_indication_routing(
        C(inflow, HOUR, "discharge"), 101.0, CURVE, {"drain": ru.ConstantDischargeInfo(500.0,
                                                                                       100.5)})
    assert routed.reservoir_total_outflow.data == outflow
    assert routed.reservoir_individual_outflows["drain"].data == outflow
    assert routed.reservoir_elevation.data == elevation
    assert routed.reservoir_storage.data == storage


# The spillway reads its rating at E + offset, so it equals a spillway without an offset whose
# rating stands offset lower (storage indication's table holds only numbers exact in binary here;
# level pool routing reads the rating every second, at E + offset against E - (h - offset)).
@pytest.mark.parametrize("method, tolerance", [("storage_indication", 0.0),
                                               ("level_pool", 1e-12)])
@pytest.mark.parametrize("offset", [1.5, -0.75, 0.0])
def test_spillway_offset(method, tolerance, offset):
    curve = ru.ElevationStorage([100.0, 104.0, 112.0], [0.0, 2.0e5, 1.0e6])
    rating = [102.0, 104.0, 108.0, 116.0], [0.0, 64.0, 512.0, 4096.0]
    shifted = [h - offset for h in rating[0]], rating[1]
    inflow = C([0.0, 200.0, 900.0, 600.0, 300.0, 100.0, 0.0] + [0.0] * 8, HOUR, "discharge")
    with_offset, lowered = (getattr(reservoir, f"run_{method}_routing")(
        inflow, 101.0, curve, {"spill": ru.UnControlledDischargeInfo(ru.ElevationDischarge(*r),
                                                                     o)})
        for r, o in ((rating, offset), (shifted, None)))
    for name in ("reservoir_total_outflow", "reservoir_elevation", "reservoir_storage"):
        assert getattr(with_offset, name).data == pytest.approx(getattr(lowered, name).data,
                                                                rel=tolerance, abs=tolerance)
    assert max(with_offset.reservoir_total_outflow.data) > 0.0


RATINGS = {"pipe": ([0.5 * i for i in range(21)],
                    [0, 3, 8, 17, 30, 43, 60, 78, 97, 117, 137, 156, 173, 190, 205, 218, 231, 242,
                     253, 264, 275], None),
           "weir": ([0.0, 3.3, 10.0], [0.0, 0.0, 333.3], 0.7)}


def rated(name, elevation):
    """The outlet's rating read linearly at the elevation plus its offset, 0 below it."""
    levels, flows, offset = RATINGS[name]
    at = elevation + (offset or 0.0)
    if at <= levels[0]:
        return 0.0
    k = next(k for k in range(1, len(levels)) if at <= levels[k])
    share = (at - levels[k - 1]) / (levels[k] - levels[k - 1])
    return flows[k - 1] + (flows[k] - flows[k - 1]) * share


STORM = [0.0, 60, 120, 180, 240, 300, 360, 320, 280, 240, 200, 160, 120, 80, 40] + [0.0] * 40


def route(method, order):
    levels = RATINGS["pipe"][0]
    curve = ru.ElevationStorage(levels, [43560.0 * h for h in levels])
    outlets = {name: ru.UnControlledDischargeInfo(ru.ElevationDischarge(*RATINGS[name][:2]),
                                                  RATINGS[name][2]) for name in order}
    routed = getattr(reservoir, f"run_{method}_routing")(
        C([float(q) for q in STORM], timedelta(minutes=10), "discharge"), 0.0, curve, outlets)
    assert list(routed.reservoir_individual_outflows) == order
    return routed


# Each outlet's record is its own rating at the recorded elevation (to rounding: the table
# interpolates both linearly between the same grid points).
@pytest.mark.parametrize("order", [["pipe", "weir"], ["weir", "pipe"]])
def test_storage_indication_each_outlet_releases_its_own_rating(order):
    routed = route("storage_indication", order)
    releases = routed.reservoir_individual_outflows
    assert max(releases["weir"].data) > 10.0
    for name in order:
        assert releases[name].data == pytest.approx(
            [rated(name, h) for h in routed.reservoir_elevation.data], rel=1e-12, abs=1e-12)


# The outlets' releases, added in the outlets' order, are the total, as level pool routing's are.
@pytest.mark.parametrize("method, order", [
    ("level_pool", ["pipe", "weir"]),
    ("level_pool", ["weir", "pipe"]),
    pytest.param("storage_indication", ["pipe", "weir"]),
    pytest.param("storage_indication", ["weir", "pipe"]),
])
def test_outlet_releases_add_up_to_the_total(method, order):
    routed = route(method, order)
    releases = routed.reservoir_individual_outflows
    totals = []
    for j in range(len(routed.reservoir_total_outflow.data)):
        total = 0.0
        for name in order:
            total = total + releases[name].data[j]
        totals.append(total)
    assert totals == routed.reservoir_total_outflow.data
