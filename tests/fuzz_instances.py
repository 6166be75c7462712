"""Valid instances of the module's classes, and values of anything at all, for the fuzzer."""

from datetime import timedelta

import numpy as np
from hypothesis import strategies as st

import vesparil
from fuzz_values import (C, ED, ES, I, KINDS, LR, SUBCLASSES, Constant, Controlled, DictSub,
                         FloatSub, IntSub, ListSub, Specified, Uncontrolled, arrays, beyond_64_bits,
                         either_class, floats, hostile_numbers, hostile_sequences, huge_ints,
                         numpy_scalars, seconds, small_ints, texts, timedeltas)

# ---------------------------------------------------------------------------------------------
# Valid instances (bounded: their steps and sizes keep every call on them short)

short_floats = st.lists(floats, max_size=12)
# Steps up to an hour: a level pool run takes one sub-step per second of its inflow, and a
# disaggregation makes step / target values per value.
bounded_steps = st.integers(1, 3600).map(seconds)


def series(cls, steps=bounded_steps):
    return st.builds(lambda c, d, s, k: c(d, s, k), either_class(cls), short_floats, steps,
                     st.sampled_from(KINDS))


# Half of them on a multiple of 30 s, so that disaggregating them can succeed.
splittable = series(I, st.one_of(bounded_steps, st.integers(1, 120).map(lambda k: seconds(30 * k))))


@st.composite
def increasing(draw, min_size=0, strict=True):
    n = draw(st.integers(min_size, 8))
    values = draw(st.lists(st.floats(-1e4, 1e4), min_size=n, max_size=n, unique=strict))
    return sorted(values)


@st.composite
def storage_curves(draw):
    elevation = draw(increasing())
    storage = draw(increasing(min_size=len(elevation)))[: len(elevation)]
    return draw(either_class(ES))(elevation, storage)


@st.composite
def discharge_curves(draw):
    elevation = draw(increasing(min_size=2))
    discharge = draw(increasing(min_size=len(elevation), strict=False))[: len(elevation)]
    return draw(either_class(ED))(elevation, discharge)


optional_floats = st.one_of(st.none(), floats)
constant_outlets = st.builds(lambda c, *a: c(*a), either_class(Constant), floats,
                             optional_floats, optional_floats)
specified_outlets = st.builds(lambda c, *a: c(*a), either_class(Specified), series(C),
                              optional_floats, optional_floats, optional_floats)
controlled_outlets = st.builds(lambda c, *a: c(*a), either_class(Controlled), discharge_curves(),
                               optional_floats, optional_floats, optional_floats)
uncontrolled_outlets = st.builds(lambda c, *a: c(*a), either_class(Uncontrolled),
                                 discharge_curves(), optional_floats)
outlets = st.one_of(constant_outlets, specified_outlets, controlled_outlets, uncontrolled_outlets)
# Fresh layers on every draw (the setters change them), with at most 20 reservoirs: the count is
# the length of a state vector and a factor of the run time.
layers = st.builds(LR, st.integers(1, 10**7).map(seconds),
                   st.floats(0.0, 1.0), floats, st.integers(1, 20))


def _made_once():
    hour = timedelta(hours=1)
    flow = C([1.0, 3.0, 2.0], hour, "discharge")
    rain = I([0.5, 0.0], hour, "rainfall")
    curve = ES([0.0, 10.0], [0.0, 1e6])
    rating = ED([0.0, 10.0], [0.0, 5.0])
    made = [flow, rain, curve, rating, Constant(1.0), Specified(flow), Controlled(rating),
            Uncontrolled(rating), LR(hour, 0.5, 0.0),
            vesparil.reservoir.run_level_pool_routing(flow, 1.0, curve, {"c": Constant(1.0)}),
            vesparil.rainfall_loss.run_deficit_and_constant(rain, 0.1, 1.0, 0.1, hour),
            SUBCLASSES[C]([1.0], hour, "volume"), SUBCLASSES[ED]([0.0, 1.0], [0.0, 1.0])]
    return made


INSTANCES = _made_once()
POOL_RESULT, LOSS_RESULT = INSTANCES[-4:-2]
CN_RESULT = vesparil.rainfall_loss.run_curve_number(I([0.5, 2.0], timedelta(hours=1), "rainfall"),
                                                    75.0)
GA_RESULT = vesparil.rainfall_loss.run_green_ampt(I([0.5, 2.0], timedelta(hours=1), "rainfall"),
                                                  0.3, 4.0, 0.3)
GR4J_RESULT = vesparil.lumped.run_gr4j([5.0, 0.0], [1.0, 2.0], 300.0, 0.5, 80.0, 1.5)
HBV_RANGES = [(-3.0, 3.0), (0.0, 10.0), (0.0, 1.5), (0.0, 0.2), (0.0, 0.3), (1.0, 800.0),
              (0.1, 1.0), (0.1, 6.0), (0.0, 6.0), (0.0, 100.0), (0.0, 0.5), (0.0, 0.5),
              (0.0, 1.0), (1.0, 12.0)]
HBV_NAMES = ["tt", "cfmax", "sfcf", "cfr", "cwh", "fc", "lp", "beta", "perc", "uzl", "k0", "k1",
             "k2", "maxbas"]
HBV_INITIAL = ["initial_soil_moisture", "initial_upper_zone", "initial_lower_zone"]
SNOW_NAMES = ["threshold_temperature", "melt_factor", "refreezing_coefficient", "water_holding",
              "initial_snowpack"]
CEMANEIGE_NAMES = ["kf", "ctg", "mean_annual_snowfall", "elevations", "median_elevation",
                   "temperature_gradient", "precipitation_gradient"]
SNOW_RESULTS = [vesparil.snow.run_degree_day_snow([5.0, 1.0], [-1.0, 4.0], 0.0, 3.0, 0.05, 0.1),
                vesparil.snow.run_cemaneige([5.0, 1.0], [-1.0, 4.0], 3.0, 0.5, 100.0,
                                            [400.0, 900.0], 650.0)]
HBV_RESULT = vesparil.lumped.run_hbv([5.0, 0.0], [-1.0, 4.0], [1.0, 2.0],
                                     *[lo for lo, _ in HBV_RANGES])


# ---------------------------------------------------------------------------------------------
# Anything at all


def object_array(items):
    array = np.empty(len(items), dtype=object)
    for i, item in enumerate(items):
        array[i] = item  # one by one, so that NumPy does not look into sequences
    return array


def anything(but=()):
    """Values of every kind; the kinds named in `but` are left out."""
    leaves = {
        "floats": floats,
        "ints": st.one_of(small_ints, beyond_64_bits),
        "huge ints": huge_ints,
        "bools": st.booleans(),
        "none": st.none(),
        "texts": texts,
        "bytes": st.binary(max_size=4),
        "arrays": arrays,
        "numpy scalars": numpy_scalars,
        "timedeltas": timedeltas,
        "instances": st.sampled_from(INSTANCES),
        "numbers": hostile_numbers,
        "objects": st.sampled_from([object(), type, len, Ellipsis, 1j, b"", set(), frozenset(),
                                    range(0)]),
        "subclasses": st.one_of(floats.map(FloatSub), small_ints.map(IntSub),
                                short_floats.map(ListSub)),
    }
    base = st.one_of([strategy for name, strategy in leaves.items() if name not in but])
    return st.recursive(
        base,
        lambda inner: st.one_of(
            st.lists(inner, max_size=4),
            st.tuples(inner, inner),
            st.dictionaries(st.one_of(texts, small_ints), inner, max_size=3),
            st.dictionaries(texts, inner, max_size=2).map(DictSub),
            hostile_sequences(inner),
            st.lists(inner, max_size=3).map(object_array),
        ),
        max_leaves=6,
    )


def mostly(valid, but=()):
    """Five draws in six from `valid`, the rest from anything else (hostile objects included)."""
    junk = anything(but)
    return st.integers(0, 5).flatmap(lambda k: junk if k == 0 else valid)
