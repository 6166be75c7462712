"""Reservoir routing: rating curves and the four outlet kinds."""

import math
from datetime import timedelta

import pytest
from reservoir_helpers import (ABOVE, MINUTE, OUTSIDE, WIDE, ConstantDischargeInfo,
                               ControlledDischargeInfo, ElevationDischarge, ElevationStorage,
                               SpecifiedDischargeInfo, UnControlledDischargeInfo, flow, panic,
                               route)

ED = ElevationDischarge([100.0, 105.0, 110.0], [0.0, 50.0, 200.0])


def release_at(outlet, elevation, elapsed=60):
    """An outlet's release at `elevation` and `elapsed` seconds: the first sub-step of a run."""
    result = route(flow([0.0, 0.0], timedelta(seconds=elapsed)), elevation, WIDE, {"o": outlet})
    return result.reservoir_individual_outflows["o"].data[0]


# ---------------------------------------------------------------------------------------------
# Rating curves


def test_storage_lookups_both_ways_and_inclusive_ends():
    curve = ElevationStorage([100.0, 110.0], [0.0, 50.0])
    assert curve.get_storage(105.0) == 25.0
    assert curve.get_elevation(25.0) == 105.0
    assert curve.get_storage(100.0) == 0.0 and curve.get_storage(110.0) == 50.0
    # ((5 - 0) / (10 - 0)) * (200 - 100) + 100
    knots = ElevationStorage([0.0, 10.0], [100.0, 200.0])
    assert [knots.get_storage(x) for x in (5.0, 0.0, 10.0)] == [150.0, 100.0, 200.0]


def same_bits(x, y):
    return x == y and math.copysign(1.0, x) == math.copysign(1.0, y)


# A lookup exactly on the first knot returns that knot's value itself, not the interpolation
# formula's result (which loses a -0.0, and is NaN when the first interval's rise overflows).
@pytest.mark.parametrize(
    "lookup, expected",
    [
        (lambda: ElevationStorage([0.0, 10.0], [-0.0, 5.0]).get_storage(0.0), -0.0),
        (lambda: ElevationStorage([-0.0, 10.0], [0.0, 5.0]).get_elevation(0.0), -0.0),
        (lambda: ElevationStorage([0.0, 1.0], [-1e308, 1e308]).get_storage(0.0), -1e308),
        (lambda: release_at(ControlledDischargeInfo(ElevationDischarge([5.0, 6.0], [-0.0, 1.0])),
                            5.0), -0.0),
        (lambda: release_at(UnControlledDischargeInfo(ElevationDischarge([5.0, 6.0], [-0.0, 1.0])),
                            5.0), -0.0),
        # The run's own storage-to-elevation lookup, at the empty reservoir.
        (lambda: route(flow([0.0, 0.0, 0.0], MINUTE), 0.0,
                       ElevationStorage([-0.0, 10.0], [0.0, 600.0]),
                       {"pump": ConstantDischargeInfo(1.0)}).reservoir_elevation.data[1], -0.0),
    ],
    ids=["storage", "elevation", "overflowing rise", "controlled", "uncontrolled", "run"],
)
def test_lookup_on_the_first_knot_is_that_knot_bit_for_bit(lookup, expected):
    assert same_bits(lookup(), expected)


@pytest.mark.parametrize(
    "method, value, message",
    [
        ("get_storage", 99.5, "`elevation` 99.5"),
        ("get_storage", 111.0, "`elevation` 111"),
        ("get_elevation", 50.5, "`storage` 50.5"),
        ("get_elevation", -math.inf, "`storage` -inf"),
    ],
)
def test_storage_lookup_outside_curve(method, value, message):
    curve = ElevationStorage([100.0, 110.0], [0.0, 50.0])
    with pytest.raises(ValueError) as info:
        getattr(curve, method)(value)
    assert str(info.value) == message + OUTSIDE


@pytest.mark.parametrize(
    "elevation, storage, message",
    [
        ([1.0, 2.0], [1.0], "`elevation` and `storage` must have the same length"),
        ([2.0, 1.0], [2.0], "`elevation` and `storage` must have the same length"),
        ([2.0, 1.0], [2.0, 1.0], "`elevation` must must be sorted and can't have duplicates"),
        ([1.0, math.nan], [1.0, 2.0], "`elevation` must must be sorted and can't have duplicates"),
        ([1.0, 2.0], [3.0, 3.0], "`storage` must must be sorted and can't have duplicates"),
    ],
)
def test_storage_curve_checks_in_order(elevation, storage, message):
    with pytest.raises(ValueError) as info:
        ElevationStorage(elevation, storage)
    assert str(info.value) == message


@pytest.mark.parametrize("points", [[], [5.0]])
def test_short_storage_curve_builds_but_lookups_panic(points):
    curve = ElevationStorage(points, [7.0] * len(points))
    message = panic(lambda: curve.get_storage(5.0))
    assert message == "x_values and y_values each must have at least 2 elements."


def test_nan_lookup_panics_saying_a_value_was_absent():
    curve = ElevationStorage([100.0, 110.0], [0.0, 50.0])
    assert "absent" in panic(lambda: curve.get_storage(math.nan))
    assert "absent" in panic(lambda: curve.get_elevation(math.nan))


@pytest.mark.parametrize(
    "elevation, discharge, message",
    [
        ([1.0], [0.0, 1.0], "`elevation` and `discharge` must have the same length"),
        ([1.0], [0.0], "`elevation` and `discharge` each must have at least 2 elements."),
        ([2.0, 2.0], [3.0, 2.0], "`elevation` must must be sorted and can't have duplicates"),
        ([1.0, 2.0], [3.0, 2.0], "`discharge` must must be sorted"),
        ([1.0, 2.0], [math.nan, 2.0], "`discharge` must must be sorted"),
    ],
)
def test_discharge_curve_checks_in_order(elevation, discharge, message):
    with pytest.raises(ValueError) as info:
        ElevationDischarge(elevation, discharge)
    assert str(info.value) == message


def test_curve_attributes_are_fresh_copies():
    curve = ElevationDischarge([1.0, 2.0, 3.0], [0.0, 0.0, 4.0])  # a flat start is valid
    first = curve.elevation
    first.append(9.0)
    assert curve.elevation == [1.0, 2.0, 3.0] and curve.elevation is not curve.elevation


# ---------------------------------------------------------------------------------------------
# Outlets (each read as the first sub-step of a two-value run)


@pytest.mark.parametrize(
    "outlet, elevation, expected",
    [
        (ConstantDischargeInfo(5.0, 100.0, 110.0), 99.9, 0.0),
        (ConstantDischargeInfo(5.0, 100.0, 110.0), 100.0, 5.0),
        (ConstantDischargeInfo(5.0, 100.0, 110.0), 110.0, 5.0),
        (ConstantDischargeInfo(5.0, 100.0, 110.0), 110.1, 0.0),
        (ConstantDischargeInfo(5.0), -999.0, 5.0),
        # ((102.5 - 100) / 5) * 50 + 0
        (ControlledDischargeInfo(ED), 102.5, 25.0),
        (ControlledDischargeInfo(ED), 110.0, 200.0),
        (ControlledDischargeInfo(ED), 99.0, 0.0),
        (ControlledDischargeInfo(ED, maximum_elevation=108.0), 109.0, 0.0),
        (ControlledDischargeInfo(ED, maximum_elevation=108.0), 500.0, 0.0),
        (ControlledDischargeInfo(ED, maximum_release=30.0), 107.5, 30.0),
        (ControlledDischargeInfo(ED, maximum_release=math.nan), 107.5, 125.0),
        (ControlledDischargeInfo(ED, minimum_elevation=103.0), 102.0, 0.0),
        # Exactly on a gate releases the rated flow: ((108 - 105) / 5) * 150 + 50, (3 / 5) * 50.
        (ControlledDischargeInfo(ED, maximum_elevation=108.0), 108.0, 140.0),
        (ControlledDischargeInfo(ED, minimum_elevation=103.0), 103.0, 30.0),
        # shifted 102.0: ((102 - 100) / 5) * 50 + 0
        (UnControlledDischargeInfo(ED, -2.0), 104.0, 20.0),
        (UnControlledDischargeInfo(ED, -2.0), 101.0, 0.0),
        (UnControlledDischargeInfo(ElevationDischarge([100.0, 105.0], [3.0, 8.0])), 100.0, 3.0),
        # a flat stretch: 5 at 0.5, ((1.5 - 1) / 1) * 2 + 5 at 1.5
        (UnControlledDischargeInfo(ElevationDischarge([0.0, 1.0, 2.0], [5.0, 5.0, 7.0])), 0.5, 5.0),
        (UnControlledDischargeInfo(ElevationDischarge([0.0, 1.0, 2.0], [5.0, 5.0, 7.0])), 1.5, 6.0),
    ],
)
def test_outlet_release(outlet, elevation, expected):
    assert release_at(outlet, elevation) == expected


@pytest.mark.parametrize(
    "outlet, elevation, message",
    [
        (ControlledDischargeInfo(ED), 111.0, "elevation 111" + ABOVE + "(110)."),
        (UnControlledDischargeInfo(ED, -2.0), 112.5, "elevation 110.5" + ABOVE + "(110)."),
        (UnControlledDischargeInfo(ED), 110.25, "elevation 110.25" + ABOVE + "(110)."),
    ],
)
def test_outlet_above_its_curve(outlet, elevation, message):
    with pytest.raises(ValueError) as info:
        release_at(outlet, elevation)
    assert str(info.value) == message


def test_controlled_outlet_clamps_its_gates():
    assert ControlledDischargeInfo(ED).minimum_elevation == 100.0
    assert ControlledDischargeInfo(ED).maximum_elevation is None
    assert ControlledDischargeInfo(ED, minimum_elevation=50.0).minimum_elevation == 100.0
    assert ControlledDischargeInfo(ED, minimum_elevation=103.0).minimum_elevation == 103.0
    assert ControlledDischargeInfo(ED, maximum_elevation=500.0).maximum_elevation == 110.0
    nan_gates = ControlledDischargeInfo(ED, math.nan, math.nan, math.nan)
    assert nan_gates.minimum_elevation == 100.0 and nan_gates.maximum_elevation == 110.0
    assert math.isnan(nan_gates.maximum_release)


SERIES = flow([0.0, 10.0, 20.0])  # L = 7200 s


@pytest.mark.parametrize(
    "outlet, elevation, elapsed, expected",
    [
        (SpecifiedDischargeInfo(SERIES), 0.0, 1800, 5.0),
        (SpecifiedDischargeInfo(SERIES), 0.0, 7200, 20.0),
        (SpecifiedDischargeInfo(SERIES, maximum_release=15.0), 0.0, 7200, 15.0),
        (SpecifiedDischargeInfo(SERIES, maximum_release=math.nan), 0.0, 7200, 20.0),
        (SpecifiedDischargeInfo(SERIES, minimum_elevation=1.0), 0.0, 7201, 0.0),
        (SpecifiedDischargeInfo(SERIES, maximum_elevation=-1.0), 0.0, 7201, 0.0),
        # Exactly on a gate releases the series value.
        (SpecifiedDischargeInfo(SERIES, minimum_elevation=1.0), 1.0, 1800, 5.0),
        (SpecifiedDischargeInfo(SERIES, maximum_elevation=-1.0), -1.0, 1800, 5.0),
    ],
)
def test_specified_outlet(outlet, elevation, elapsed, expected):
    assert release_at(outlet, elevation, elapsed) == expected


def test_specified_outlet_past_its_series():
    with pytest.raises(ValueError) as info:
        release_at(SpecifiedDischargeInfo(SERIES), 0.0, 7201)
    assert str(info.value) == (
        "simulation duration 7201s exceeds the specified discharge series length (7200s)."
    )


@pytest.mark.parametrize("value", [1.5, None, "gate", ED])
def test_dict_value_of_no_outlet_class(value):
    with pytest.raises(TypeError) as info:
        route(flow([1.0, 1.0]), 100.0, WIDE, {"o": value})
    text = str(info.value)
    assert text.startswith(
        "argument 'discharge_info': failed to extract enum DischargeInfo "
        "('Uncontrolled | Controlled | Specified | Constant')\n- variant Uncontrolled ("
    )
    positions = [text.index(f"\n- variant {name} ({name}): ") for name in
                 ("Uncontrolled", "Controlled", "Specified", "Constant")]
    assert positions == sorted(positions)

