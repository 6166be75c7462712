"""Argument binding and value conversion, exercised through the time-series entries: binding,
the conversion errors that are wrapped and those that are not, and dicts of components."""

from datetime import timedelta

import pytest
from binding_helpers import (HOUR, ContinuousTimeSeries, IncrementalTimeSeries,
                             float_conversion_error, rain, raised, series)

import vesparil

NEW = "ContinuousTimeSeries.__new__()"


# ---------------------------------------------------------------------------------------------
# Argument binding


BINDING_CASES = [
    # too many positional arguments, every parameter required
    (lambda: series().total_duration(1),
     "ContinuousTimeSeries.total_duration() takes 0 positional arguments but 1 was given"),
    (lambda: rain().total_duration(1, 2),
     "IncrementalTimeSeries.total_duration() takes 0 positional arguments but 2 were given"),
    (lambda: rain().disaggregate(900, 900),
     "IncrementalTimeSeries.disaggregate() takes 1 positional arguments but 2 were given"),
    (lambda: ContinuousTimeSeries([1.0], HOUR, "discharge", None),
     f"{NEW} takes 3 positional arguments but 4 were given"),
    # unknown keyword
    (lambda: ContinuousTimeSeries([1.0], HOUR, "discharge", flavour=1),
     f"{NEW} got an unexpected keyword argument 'flavour'"),
    (lambda: series().total_duration(unit="s"),
     "ContinuousTimeSeries.total_duration() got an unexpected keyword argument 'unit'"),
    # a parameter bound twice
    (lambda: ContinuousTimeSeries([1.0], HOUR, "discharge", data=[2.0]),
     f"{NEW} got multiple values for argument 'data'"),
    (lambda: rain().disaggregate(900, target_step=900),
     "IncrementalTimeSeries.disaggregate() got multiple values for argument 'target_step'"),
    # missing required parameters: one, two, three names
    (lambda: ContinuousTimeSeries([1.0], HOUR),
     f"{NEW} missing 1 required positional argument: 'kind'"),
    (lambda: ContinuousTimeSeries([1.0]),
     f"{NEW} missing 2 required positional arguments: 'time_step' and 'kind'"),
    (lambda: ContinuousTimeSeries(),
     f"{NEW} missing 3 required positional arguments: 'data', 'time_step', and 'kind'"),
    (lambda: IncrementalTimeSeries(kind="rainfall"),
     "IncrementalTimeSeries.__new__() missing 2 required positional arguments: 'data' and 'time_step'"),
    (lambda: ContinuousTimeSeries(time_step=HOUR),
     f"{NEW} missing 2 required positional arguments: 'data' and 'kind'"),
    (lambda: rain().disaggregate(),
     "IncrementalTimeSeries.disaggregate() missing 1 required positional argument: 'target_step'"),
    # check order: too many positional before keywords before missing
    (lambda: ContinuousTimeSeries(1, 2, 3, 4, bogus=1), f"{NEW} takes 3 positional arguments but 4 were given"),
    (lambda: ContinuousTimeSeries(bogus=1), f"{NEW} got an unexpected keyword argument 'bogus'"),
    (lambda: ContinuousTimeSeries([1.0], data=1, bogus=2), f"{NEW} got multiple values for argument 'data'"),
    (lambda: ContinuousTimeSeries([1.0], bogus=2, data=1), f"{NEW} got an unexpected keyword argument 'bogus'"),
    # binding comes before any conversion
    (lambda: ContinuousTimeSeries(5, 5), f"{NEW} missing 1 required positional argument: 'kind'"),
]


@pytest.mark.parametrize("call, message", BINDING_CASES)
def test_binding_messages(call, message):
    error = raised(call)
    assert type(error) is TypeError
    assert str(error) == message


# Callables with optional parameters use the "from R to N" form.
SOME_OPTIONAL = [
    ("metrics.calculate_kge", "calculate_kge()", 2, 3),
    ("metrics.calculate_nse", "calculate_nse()", 2, 3),
    ("baseflow.LinearReservoir", "LinearReservoir.__new__()", 3, 4),
    ("reservoir.reservoir_utils.ConstantDischargeInfo", "ConstantDischargeInfo.__new__()", 1, 3),
    ("reservoir.reservoir_utils.UnControlledDischargeInfo", "UnControlledDischargeInfo.__new__()", 1, 2),
]


@pytest.mark.parametrize("path, name, required, total", SOME_OPTIONAL)
@pytest.mark.parametrize("extra", [1, 2])
def test_too_many_positional_with_optional_parameters(entry, path, name, required, total, extra):
    target = entry(path)
    given = total + extra
    error = raised(lambda: target(*([None] * given)))
    assert type(error) is TypeError
    assert str(error) == f"{name} takes from {required} to {total} positional arguments but {given} were given"


def test_all_keyword_call_binds():
    made = ContinuousTimeSeries(kind="elevation", time_step=HOUR, data=[3.0])
    assert (made.data, made.time_step, made.kind) == ([3.0], HOUR, "elevation")
    assert rain().disaggregate(target_step=1800).time_step == timedelta(minutes=30)


# ---------------------------------------------------------------------------------------------
# Argument-conversion errors


class FloatRaisesChainedTypeError:
    cause = KeyError("inner")

    def __float__(self):
        raise TypeError("no float here") from self.cause


class MyTypeError(TypeError):
    pass


class FloatRaisesTypeErrorSubclass:
    def __float__(self):
        raise MyTypeError("subclass of TypeError")


class FloatRaisesValueError:
    def __float__(self):
        raise ValueError("not a number at all")


def test_exact_type_error_is_wrapped_and_keeps_its_cause():
    error = raised(lambda: series([1.0, FloatRaisesChainedTypeError()]))
    assert type(error) is TypeError
    assert str(error) == "argument 'data': no float here"
    assert error.__cause__ is FloatRaisesChainedTypeError.cause


def test_wrapped_error_without_cause_has_none():
    error = raised(lambda: series(["x"]))
    assert type(error) is TypeError
    assert str(error) == f"argument 'data': {float_conversion_error('x')}"
    assert error.__cause__ is None


@pytest.mark.parametrize(
    "element, kind, message",
    [
        (FloatRaisesTypeErrorSubclass(), MyTypeError, "subclass of TypeError"),
        (FloatRaisesValueError(), ValueError, "not a number at all"),
        (10**400, OverflowError, str(float_conversion_error(10**400))),
    ],
)
def test_other_conversion_errors_are_not_wrapped(element, kind, message):
    error = raised(lambda: series([element]))
    assert type(error) is kind
    assert str(error) == message


# ---------------------------------------------------------------------------------------------
# Dicts of components


def test_dict_subclasses_of_components_keep_their_order():
    from collections import OrderedDict

    layers = [("fast", vesparil.baseflow.LinearReservoir(timedelta(hours=20), 0.4, 1.0)),
              ("slow", vesparil.baseflow.LinearReservoir(timedelta(hours=90), 0.3, 2.0, 2))]
    run = vesparil.baseflow.run_linear_reservoir
    rain = IncrementalTimeSeries([0.3, 0.0, 0.5, 0.1], HOUR, "rainfall")
    total, by_layer = run(100.0, rain, OrderedDict(layers))
    expected_total, expected = run(100.0, rain, dict(layers))
    assert (total.data, list(by_layer)) == (expected_total.data, ["fast", "slow"])

    ru = vesparil.reservoir.reservoir_utils
    outlets = [("weir", ru.UnControlledDischargeInfo(ru.ElevationDischarge([100.0, 110.0], [0.0, 50.0]))),
               ("pass", ru.ConstantDischargeInfo(1.0))]
    curve = ru.ElevationStorage([100.0, 110.0], [0.0, 1.0e6])
    inflow = ContinuousTimeSeries([5.0, 30.0, 10.0], HOUR, "discharge")
    pool = vesparil.reservoir.run_level_pool_routing
    routed = pool(inflow, 101.0, curve, OrderedDict(outlets))
    assert list(routed.reservoir_individual_outflows) == ["weir", "pass"]
    assert routed.reservoir_total_outflow.data == pool(inflow, 101.0, curve,
                                                       dict(outlets)).reservoir_total_outflow.data
