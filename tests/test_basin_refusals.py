"""What a basin refuses rather than turn into a plausible wrong answer, and the summary's volume
rule: missing or negative forcing, negative loss parameters, a gap in the observed record, a
column given twice; a reservoir's volumes against its storage change; plain data without None."""

import math
from datetime import timedelta

import pytest

import vesparil

np = pytest.importorskip("numpy", reason="the batch's parameter table is a NumPy array")

basin = vesparil.basin
ru = vesparil.reservoir.reservoir_utils
STEP = timedelta(hours=1)
RAIN = [0.0, 0.2, 0.7, 0.5, 0.1] + [0.0] * 7
FLOWS = [5.0, 50.0, 80.0, 40.0, 20.0, 5.0] + [5.0] * 6


def network(loss=(0.3, 1.5, 0.1), pool=basin.LevelPool):
    m = basin.Basin(STEP)
    m.add_subbasin("north", 640.0, basin.DeficitAndConstant(*loss, timedelta(days=3)),
                   basin.Clark(timedelta(hours=2), timedelta(hours=1)), None, "lake")
    m.add_source("inflow", "lake")
    m.add_reservoir("lake", pool(ru.ElevationStorage([100.0, 110.0], [0.0, 4.0e6]), {
        "spill": ru.UnControlledDischargeInfo(ru.ElevationDischarge([100.0, 110.0], [0.0, 900.0])),
        "pump": ru.ConstantDischargeInfo(2.0, 100.5)}, 101.0))
    return m


def with_value(series, index, value):
    return series[:index] + [value] + series[index + 1:]


BATCH = (np.array([[101.0], [102.0]]), ["lake.level_pool.initial_elevation"])


def run_both(m, forcing):
    """The same forcing through run and through run_batch: both must refuse it alike."""
    for call in (lambda: m.run(forcing),
                 lambda: m.run_batch(*BATCH, forcing, [1.0] * len(RAIN), missing="omit")):
        yield call


@pytest.mark.parametrize("forcing, message", [
    ({"north": with_value(RAIN, 2, math.nan), "inflow": FLOWS},
     r"subbasin 'north': rainfall has a missing value \(NaN\) at index 2$"),
    ({"north": with_value(RAIN, 3, -0.5), "inflow": FLOWS},
     r"subbasin 'north': rainfall must be finite and >= 0; got -0.5 at index 3$"),
    ({"north": with_value(RAIN, 0, math.inf), "inflow": FLOWS},
     r"subbasin 'north': rainfall must be finite and >= 0; got inf at index 0$"),
    ({"north": RAIN, "inflow": with_value(FLOWS, 2, math.nan)},
     r"source 'inflow': the flow has a missing value \(NaN\) at index 2$"),
    ({"north": RAIN, "inflow": with_value(FLOWS, 5, -math.inf)},
     r"source 'inflow': the flow must be finite; got -inf at index 5$"),
])
def test_missing_and_negative_forcing_is_refused_naming_element_and_index(forcing, message):
    for call in run_both(network(), forcing):
        with pytest.raises(ValueError, match="^" + message):
            call()
    # A negative source flow (a withdrawal) is a flow like any other.
    network().run({"north": RAIN, "inflow": with_value(FLOWS, 5, -1.0)})


@pytest.mark.parametrize("column, value, message", [
    ("initial_deficit", -0.9, "initial_deficit must be finite and >= 0; got -0.9"),
    ("maximum_deficit", -1.0, "maximum_deficit must be finite and >= 0; got -1"),
    ("constant_rate", -0.1, "constant_rate must be finite and >= 0; got -0.1"),
    ("maximum_deficit", math.inf, "maximum_deficit must be finite and >= 0; got inf"),
    ("initial_deficit", math.nan, "initial_deficit must be finite and >= 0; got NaN"),
])
def test_loss_parameters_that_would_make_water_are_refused(column, value, message):
    values = dict(zip(("initial_deficit", "maximum_deficit", "constant_rate"), (0.3, 1.5, 0.1)))
    with pytest.raises(ValueError, match="^" + message + "$"):
        basin.DeficitAndConstant(**(values | {column: value}), recovery=timedelta(days=3))
    if not math.isnan(value):  # a NaN column is refused as such before the element's check
        with pytest.raises(ValueError, match="subbasin 'north': " + message + "$"):
            network().run_batch(np.array([[value]]), [f"north.loss.{column}"],
                                {"north": RAIN, "inflow": FLOWS}, [1.0] * len(RAIN))
    # The standalone function keeps its behaviour: a negative deficit gives more than the rain.
    rain = vesparil.utils.IncrementalTimeSeries([1.0], STEP, "rainfall")
    split = vesparil.rainfall_loss.run_deficit_and_constant(rain, -0.9, 1.5, 0.0, timedelta(days=3))
    assert split.excess.data[0] > 1.0


@pytest.mark.parametrize("make, message", [
    (lambda: basin.GR4J(300.0, 0.5, 80.0, 1e300), "x4 must be > 0 and at most 10000"),
    (lambda: basin.HBV(0, 3, 1, 0.05, 0.1, 200, 0.7, 2, 1, 20, 0.2, 0.1, 0.05, 1e9),
     "maxbas must be >= 1 and at most 10000"),
    (lambda: basin.CurveNumber(150.0), "curve_number must be > 0 and <= 100; got 150"),
    (lambda: basin.MuskingumCunge(20000.0, 0.0, 0.04, 20.0, 2.0), "slope must be > 0; got 0"),
    (lambda: basin.GreenAmpt(-1.0, 1.0, 0.3), "hydraulic_conductivity must be > 0; got -1"),
    (lambda: basin.Snyder(2.0, math.inf, 18.0, 10.0), "cp must be > 0; got inf"),
    (lambda: basin.ScsUnitHydrograph(STEP, 0.0), "peak_rate_factor must be > 0; got 0"),
    (lambda: basin.Muskingum(STEP, 0.9), "x must be between 0 and 0.5; got 0.9"),
    (lambda: basin.DegreeDaySnow(0.0, -3.0, 0.05, 0.1), "melt_factor must be >= 0"),
    (lambda: basin.LevelPool(ru.ElevationStorage([100.0], [0.0]), {}, 100.0),
     "elevation_storage must have at least 2 points; got 1"),
    (lambda: basin.StorageIndication(ru.ElevationStorage([100.0, 110.0], [0.0, 1e6]), {}, 120.0),
     "`elevation` 120 is outside the range of the elevation-storage curve"),
])
def test_method_classes_refuse_their_own_bad_values_at_construction(make, message):
    with pytest.raises(ValueError, match="^" + message):
        make()


def test_a_gap_in_the_observed_record_needs_a_rule():
    m = network()
    forcing = {"north": RAIN, "inflow": FLOWS}
    observed = np.array(m.run(forcing)["lake"].outflow.data) * 1.1
    observed[4] = np.nan
    with pytest.raises(ValueError, match=r"^observed has a missing value \(NaN\) at index 4; "
                                         r"pass missing='omit'"):
        m.run_batch(*BATCH, forcing, observed)
    assert all(math.isnan(s) for s in m.run_batch(*BATCH, forcing, observed, missing="propagate"))
    assert not any(math.isnan(s) for s in m.run_batch(*BATCH, forcing, observed, missing="omit"))
    # A gap inside the warm-up is not scored, so it needs no rule.
    assert len(m.run_batch(*BATCH, forcing, observed, warmup=5)) == 2


@pytest.mark.parametrize("columns, message", [
    (["north.loss.initial_deficit", "north.loss.initial_deficit"],
     r"column 'north.loss.initial_deficit' is given twice$"),
    (["lake.level_pool.initial_elevation", "north.loss.constant_rate",
      "lake.level_pool.initial_elevation"], r"column 'lake.level_pool.initial_elevation' is given"),
])
def test_a_column_given_twice_is_refused(columns, message):
    m = network()
    table = np.ones((1, len(columns)))
    with pytest.raises(ValueError, match="^" + message):
        m.run_batch(table, columns, {"north": RAIN, "inflow": FLOWS}, [1.0] * len(RAIN))
    with pytest.raises(ValueError, match="^" + message):
        m.with_parameters([1.0] * len(columns), columns)


@pytest.mark.parametrize("pool", [basin.LevelPool, basin.StorageIndication])
def test_reservoir_volumes_agree_with_its_storage_change(pool):
    run = network(pool=pool).run({"north": RAIN, "inflow": FLOWS})
    summary = run.summary()
    lake, series = summary["lake"], run["lake"].series
    storage, elevation = series["storage"].data, series["elevation"].data
    assert lake["storage_change"] == (storage[-1] - storage[0]) / 43560
    assert lake["balance"] == pytest.approx(lake["storage_change"], rel=1e-12, abs=1e-12)
    assert lake["maximum_storage"] == max(storage) / 43560
    assert lake["peak_stage"] == max(elevation)
    # Inflow volumes are the upstream outflow volumes, each flow integrated by the trapezoid.
    dt = STEP.total_seconds()
    source = FLOWS
    trapezoid = (math.fsum(source) - (source[0] + source[-1]) / 2) * dt / 43560
    assert summary["inflow"]["volume_out"] == pytest.approx(trapezoid, rel=1e-14)
    assert lake["volume_in"] == summary["north"]["volume_out"] + summary["inflow"]["volume_out"]
    assert "storage_change" not in summary["north"] and "peak_stage" not in summary["inflow"]


def test_plain_data_without_none_values_reads_back():
    """TOML has no None: a key whose value may be None may be left out."""
    m = network()
    m.add_subbasin("daily", 640.0, None, basin.GR4J(300.0, 0.5, 80.0, 2.0))

    def drop_none(value):
        if isinstance(value, dict):
            return {k: drop_none(v) for k, v in value.items() if v is not None}
        return [drop_none(v) for v in value] if isinstance(value, list) else value

    plain = m.to_dict()
    assert basin.Basin.from_dict(drop_none(plain)).to_dict() == plain


def test_from_dict_holds_what_it_reads_while_python_code_runs():
    plain = network().to_dict()

    class Shrinking:
        """A number whose conversion empties the data being read."""

        def __float__(self):
            plain["elements"].clear()
            plain.clear()
            return 640.0

    plain["elements"][0]["area"] = Shrinking()
    again = basin.Basin.from_dict(plain)  # read from what it held: no crash, the same basin
    assert again.to_dict()["elements"][0]["area"] == 640.0


@pytest.mark.parametrize("start, error", [
    ("", ValueError), (-2**63, ValueError), ("not a date", ValueError), (object(), TypeError),
])
def test_a_start_that_is_no_time_is_refused_by_to_dataframe(start, error):
    pytest.importorskip("pandas", reason="to_dataframe needs pandas")
    run = network().run({"north": RAIN, "inflow": FLOWS})
    with pytest.raises(error, match=r"^BasinRun.to_dataframe\(\): start must be a time"):
        run.to_dataframe(start)
    assert str(run.to_dataframe("2024-05-01").index[1]) == "2024-05-01 01:00:00"
