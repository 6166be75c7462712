"""Hardening: durations beyond 64 bits, numbers of 2^53 and above in messages, sequences that
change or lie while they are read, memory that runs out, and driving series holding a NaN.

Whatever could crash or hang the interpreter runs in a child process with a time limit, so that a
fault fails one test instead of taking the suite down.
"""

import math
import os
import sys
from datetime import timedelta

import pytest
from hardening_helpers import run_child

import vesparil

ContinuousTimeSeries = vesparil.utils.ContinuousTimeSeries
ru = vesparil.reservoir.reservoir_utils


# ---------------------------------------------------------------------------------------------
# Signed overflow of (n - 1) x T: only a series of more than 2^32 values with a step near 2^31 s
# reaches it ((2^32 + 3) x (2^31 - 1) > 2^63 - 1), and its values alone take 32 GiB.


def physical_memory():
    return os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES")


@pytest.mark.skipif(physical_memory() < 48 * 2**30,
                    reason="needs 48 GiB of memory for a series of 2^32 + 4 values")
def test_series_duration_beyond_64_bits_is_an_internal_error():
    np = pytest.importorskip("numpy", reason="numpy makes the long series without a long list")
    series = ContinuousTimeSeries(np.zeros(2**32 + 4), timedelta(seconds=2**31 - 1), "discharge")
    with pytest.raises(BaseException) as info:
        series.total_duration()
    assert type(info.value).__name__ == "PanicException"


# ---------------------------------------------------------------------------------------------
# Numbers of 2^53 and above print their shortest round-trip digits, padded with zeros.

MAX_TEXT = "17976931348623157" + "0" * 292


def storage_message(elevation):
    with pytest.raises(ValueError) as info:
        ru.ElevationStorage([0.0, 1.0], [0.0, 1.0]).get_storage(elevation)
    return str(info.value)


def fraction_message(fraction):
    layer = vesparil.baseflow.LinearReservoir(timedelta(hours=1), 0.5, 0.0)
    layer.gw_fraction = fraction
    rain = vesparil.utils.IncrementalTimeSeries([1.0], timedelta(hours=1), "rainfall")
    with pytest.raises(ValueError) as info:
        vesparil.baseflow.run_linear_reservoir(1.0, rain, {"a": layer})
    return str(info.value)


def curve_top_message(top, elevation):
    outlet = ru.ControlledDischargeInfo(ru.ElevationDischarge([0.0, top], [0.0, 1.0]))
    wide = ru.ElevationStorage([0.0, 2.0**1000], [0.0, 1.0])
    inflow = ContinuousTimeSeries([0.0, 0.0], timedelta(seconds=1), "discharge")
    with pytest.raises(ValueError) as info:
        vesparil.reservoir.run_level_pool_routing(inflow, elevation, wide, {"gate": outlet})
    return str(info.value)


OUTSIDE = " is outside the range of the elevation-storage curve."
ABOVE = " is above the maximum of the elevation-discharge curve "


@pytest.mark.parametrize(
    "message, expected",
    [
        (lambda: storage_message(2.0**60), "`elevation` 1152921504606847000" + OUTSIDE),
        (lambda: storage_message(-(2.0**60)), "`elevation` -1152921504606847000" + OUTSIDE),
        (lambda: storage_message(1e23), "`elevation` 100000000000000000000000" + OUTSIDE),
        (lambda: storage_message(2.0**64), "`elevation` 18446744073709552000" + OUTSIDE),
        (lambda: storage_message(sys.float_info.max), f"`elevation` {MAX_TEXT}" + OUTSIDE),
        (lambda: storage_message(-sys.float_info.max), f"`elevation` -{MAX_TEXT}" + OUTSIDE),
        # Every digit is significant up to 2^53, and 2^53 + 2 still prints exactly.
        (lambda: storage_message(2.0**53 - 1), "`elevation` 9007199254740991" + OUTSIDE),
        (lambda: storage_message(2.0**53), "`elevation` 9007199254740992" + OUTSIDE),
        (lambda: storage_message(2.0**53 + 2), "`elevation` 9007199254740994" + OUTSIDE),
        (lambda: fraction_message(2.0**60), "Total fraction 1152921504606847000 > 1.0"),
        (lambda: curve_top_message(2.0**60, 2.0**61),
         "elevation 2305843009213694000" + ABOVE + "(1152921504606847000)."),
    ],
    ids=["2^60", "-2^60", "1e23", "2^64", "max", "-max", "2^53-1", "2^53", "2^53+2",
         "fraction 2^60", "curve top 2^60"],
)
def test_huge_numbers_in_messages(message, expected):
    assert message() == expected


# ---------------------------------------------------------------------------------------------
# Sequences that change or lie while they are read, and memory that runs out.


def test_list_emptied_by_an_item_while_read():
    done = run_child("""
        from datetime import timedelta
        import vesparil
        values = []
        class Clears:
            def __float__(self):
                values.clear()
                return 1.0
        values.extend([Clears()] + [2.0] * 1000)
        print(vesparil.utils.ContinuousTimeSeries(values, timedelta(hours=1), "discharge").data)
    """)
    assert (done.returncode, done.stdout) == (0, "[1.0]\n"), done.stderr


def address_space_bytes():
    with open("/proc/self/status") as status:
        line = next(line for line in status if line.startswith("VmSize:"))
    return int(line.split()[1]) * 1024


class ClaimsBillions:
    def __len__(self):
        return 2**31

    def __getitem__(self, index):
        if index >= 3:
            raise IndexError(index)
        return float(index)


@pytest.mark.skipif(not os.path.exists("/proc/self/status"), reason="reads /proc/self/status")
def test_a_lying_length_reserves_nothing_for_the_result():
    before = address_space_bytes()
    kept = [ContinuousTimeSeries(ClaimsBillions(), timedelta(hours=1), "discharge")
            for _ in range(4)]
    assert kept[0].data == [0.0, 1.0, 2.0]
    # 2^31 values would be 16 GiB each.
    assert address_space_bytes() - before < 256 * 2**20


@pytest.mark.skipif(bool(os.environ.get("VESPARIL_SANITIZED")),
                    reason="the sanitizers' shadow memory needs more address space than the limit")
@pytest.mark.skipif(sys.platform != "linux", reason="limits the address space with setrlimit")
def test_a_cascade_beyond_the_address_space_is_a_memory_error():
    done = run_child("""
        import resource
        from datetime import timedelta
        import vesparil
        resource.setrlimit(resource.RLIMIT_AS, (2**31, 2**31))
        rain = vesparil.utils.IncrementalTimeSeries([0.1] * 4, timedelta(seconds=1), "rainfall")
        layer = vesparil.baseflow.LinearReservoir(timedelta(days=10**6), 0.5, 0.0, 10**9)
        try:
            vesparil.baseflow.run_linear_reservoir(640.0, rain, {"deep": layer})
        except MemoryError:
            print("MemoryError")
    """)
    assert done.stdout == "MemoryError\n", done.stderr


def test_a_batch_member_whose_allocation_fails_is_a_memory_error():
    """A member's failed allocation on a worker thread used to end the process (an exception
    leaving the thread); it is the MemoryError of the single run, on any number of threads."""
    done = run_child("""
        from datetime import timedelta
        import numpy as np
        import vesparil
        basin = vesparil.basin
        m = basin.Basin(timedelta(hours=1))
        m.add_subbasin("north", 640.0, None, basin.Clark(timedelta(hours=2), timedelta(hours=1)))
        rows = np.array([[3.0], [1e10], [2.0], [3.0], [4.0], [5.0]])
        calls = [lambda: m.with_parameters([1e10], ["north.transform.tc"]).run({"north": [1.0] * 12})]
        calls += [lambda t=t: m.run_batch(rows, ["north.transform.tc"], {"north": [1.0] * 12},
                                          [1.0] * 12, threads=t) for t in (1, 2)]
        for call in calls:
            try:
                call()
            except MemoryError:
                print("MemoryError")
    """)
    assert done.stdout == "MemoryError\n" * 3, done.stderr


# The continuous models' driving series: a NaN used to pass their comparisons as a number
# (GR4J gave ordinary-looking flows, the daily front no rain); now the first value refused is
# named. The PET formulas alone still carry a NaN temperature through as a NaN PET.
NAN, INF = float("nan"), float("inf")
HBV_PARAMETERS = (0.0, 3.0, 1.0, 0.05, 0.1, 200.0, 0.7, 2.0, 1.0, 20.0, 0.2, 0.1, 0.05, 2.5)


def front_basin(evapotranspiration=None):
    model = vesparil.basin.Basin(timedelta(days=1))
    model.add_subbasin("n", 640.0, None, vesparil.basin.GR4J(300.0, 0.5, 80.0, 1.7),
                       evapotranspiration=evapotranspiration)
    return model


def test_pet_formulas_carry_a_nan_temperature_through():
    pet = vesparil.evapotranspiration
    for made in (pet.calculate_pet_oudin([1.0, NAN], 45.0, [1, 2]),
                 pet.calculate_pet_hamon([1.0, NAN], 45.0, [1, 2]),
                 pet.calculate_pet_hargreaves([1.0, 1.0], [5.0, NAN], 45.0, [1, 2])):
        assert made[0] > 0.0 and math.isnan(made[1])


@pytest.mark.parametrize("call, message", [
    (lambda: vesparil.lumped.run_gr4j([1.0, NAN], [1.0, 1.0], 300.0, 0.5, 80.0, 1.7),
     "precipitation has a missing value (NaN) at index 1"),
    (lambda: vesparil.lumped.run_gr4j([1.0, -5.0], [1.0, 1.0], 300.0, 0.5, 80.0, 1.7),
     "precipitation must be finite and >= 0; got -5 at index 1"),
    (lambda: vesparil.lumped.run_gr4j([1.0, 0.0], [INF, 1.0], 300.0, 0.5, 80.0, 1.7),
     "evapotranspiration must be finite and >= 0; got inf at index 0"),
    (lambda: vesparil.lumped.run_hbv([1.0] * 2, [1.0, NAN], [1.0] * 2, *HBV_PARAMETERS),
     "temperature has a missing value (NaN) at index 1"),
    (lambda: vesparil.snow.run_degree_day_snow([NAN, 1.0], [1.0, 1.0], 0.0, 3.0, 0.05, 0.1),
     "precipitation has a missing value (NaN) at index 0"),
    (lambda: vesparil.snow.run_cemaneige([1.0, 1.0], [1.0, -INF], 3.0, 0.25, 100.0, [0.0], 0.0),
     "temperature must be finite; got -inf at index 1"),
    (lambda: front_basin().run({"n": {"precipitation": [1.0, NAN],
                                      "evapotranspiration": [1.0, 1.0]}}),
     "forcing: 'n': precipitation has a missing value (NaN) at index 1"),
    (lambda: front_basin(vesparil.basin.Hargreaves(45.0)).run(
        {"n": {"precipitation": [1.0, 1.0], "temperature_min": [1.0, 1.0],
               "temperature_max": [5.0, NAN], "day_of_year": [1, 2]}}),
     "forcing: 'n': temperature_max has a missing value (NaN) at index 1"),
])
def test_driving_series_refuse_what_the_models_would_take_as_numbers(call, message):
    with pytest.raises(ValueError) as info:
        call()
    assert str(info.value) == message
