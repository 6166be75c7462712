"""The user guide (docs/) against the library: quoted pitfall numbers, recipes and examples.

scripts/pitfalls.py computes every number the Pitfalls sections quote. Here each quote is looked
up in its pages, the larger numbers are rederived by hand, the full-volume Clark recipe of
docs/clark.md is run and checked by its mass balance, and every code block of the pages and of the
README runs.
"""

import contextlib
import importlib.util
import io
import math
import re
from datetime import timedelta
from pathlib import Path

import pytest

import vesparil

REPO = Path(__file__).resolve().parent.parent
DOCS = REPO / "docs"

spec = importlib.util.spec_from_file_location("pitfalls", REPO / "scripts" / "pitfalls.py")
pitfalls = importlib.util.module_from_spec(spec)
spec.loader.exec_module(pitfalls)


@pytest.fixture(scope="module")
def numbers():
    with contextlib.redirect_stderr(io.StringIO()):
        return pitfalls.numbers()


def page(name):
    # Pages wrap lines anywhere; compare with runs of whitespace made single spaces.
    return " ".join((DOCS / name).read_text().split())


def commas(value):
    return f"{value:,.0f}"


# (key, how the pages write it, pages quoting it)
QUOTES = [
    ("clark.depth_tc3_r2_15min", "{:.2f} in", ["clark.md", "index.md"]),
    ("clark.depth_tc2_r8_1h", "{:.2f} in", ["clark.md", "index.md"]),
    ("clark.depth_tc1_1h", "{:.2f} in: nothing at all", ["clark.md"]),
    ("clark.depth_tc1_r2_15min", "{:.2f} in", ["clark.md"]),
    ("clark.ordinates_tc3_15min", "| 15 min | {} |", ["clark.md"]),
    ("clark.ordinates_tc2_1h", "| 1 h | {} |", ["clark.md"]),
    ("clark.ordinates_tc1_1h", "| 1 h | {} |", ["clark.md"]),
    ("clark.ordinates_tc1_15min", "| 15 min | {} |", ["clark.md"]),
    ("clark.typical_tc7_r3_84min", "| 7 h | 3 h | 0.3 | 84 min (tc / 5) | {:.2f} in |",
     ["clark.md"]),
    ("clark.typical_tc7_r3_1min", "| 7 h | 3 h | 0.3 | 1 min | {:.2f} in |", ["clark.md"]),
    ("clark.typical_tc1_r1_12min", "| 1 h | 1 h | 0.5 | 12 min (tc / 5) | {:.2f} in |",
     ["clark.md"]),
    ("clark.typical_tc24_r24_1h", "| 24 h | 24 h | 0.5 | 1 h | {:.2f} in |", ["clark.md"]),
    ("clark.typical_tc30min_r70min_1min", "| 30 min | 70 min | 0.7 | 1 min | {:.2f} in |",
     ["clark.md"]),
    ("clark.typical_tc3_r7_36min", "| 3 h | 7 h | 0.7 | 36 min (tc / 5) | {:.2f} in |",
     ["clark.md"]),
    ("clark.typical_min", lambda v: f"{v * 100:.0f} % to", ["clark.md", "index.md"]),
    ("clark.typical_max", lambda v: f"to {v * 100:.0f} % of the excess", ["clark.md", "index.md"]),
    ("clark.r0_ordinates", lambda v: "read " + ", ".join(f"{q:.0f}" for q in v[:-1])
     + f" and {v[-1]:.0f} cfs", ["clark.md"]),
    ("baseflow.conversion_shortfall", lambda v: f"{v * 1e6:.1f} millionths", ["baseflow.md"]),
    ("level_pool.inflow_values", "{} inflow values give", ["level_pool.md"]),
    ("level_pool.result_values", "give {} results", ["level_pool.md"]),
    ("level_pool.first_interval_ft3", lambda v: f"should add {commas(v)} ft³", ["level_pool.md"]),
    ("level_pool.first_interval_stored_ft3", "it adds {:.0f} ft³", ["level_pool.md"]),
    ("level_pool.first_interval_prepended_ft3", lambda v: f"then adds {commas(v)} ft³",
     ["level_pool.md"]),
    ("level_pool.empty_inflow_ft3", lambda v: f"{commas(v)} ft³", ["level_pool.md", "index.md"]),
    ("level_pool.empty_released_ft3", lambda v: f"{commas(v)} ft³", ["level_pool.md", "index.md"]),
    ("level_pool.empty_final_storage_ft3", "storage stays {:.1f}", ["level_pool.md"]),
    ("level_pool.rated_outflow_cfs", "{:.1f} cfs with", ["level_pool.md"]),
    ("level_pool.rated_storage_ft3", lambda v: f"with {commas(v)} ft³ stored", ["level_pool.md"]),
    ("level_pool.empty_inflow_trapezoid_ft3", lambda v: f"the inflow brings {commas(v)} ft³",
     ["level_pool.md", "index.md"]),
    ("level_pool.empty_released_trapezoid_ft3", lambda v: f"release {commas(v)} ft³",
     ["level_pool.md", "index.md"]),
    ("level_pool.curve_ft3_per_ft", lambda v: f"{commas(v)} ft³ per foot of depth",
     ["level_pool.md"]),
    ("level_pool.gated_full_ft3", lambda v: f"reservoir fills to {commas(v)} ft³",
     ["level_pool.md"]),
    ("level_pool.gated_low_ft3", "takes the storage down to {:.0f} ft³", ["level_pool.md"]),
    ("level_pool.gated_period_s", "once every {} s", ["level_pool.md", "index.md"]),
    ("level_pool.gated_recorded_max_cfs", "records read {:.1f} cfs", ["level_pool.md"]),
    ("level_pool.gated_recorded_hours", "across {} h in which", ["level_pool.md"]),
    ("level_pool.gated_recorded_storage_ft3", lambda v: f"initial state, {commas(v)} ft³ stored",
     ["level_pool.md"]),
    ("level_pool.gated_released_ft3", lambda v: f"in which {commas(v)} ft³ left",
     ["level_pool.md"]),
    ("level_pool.nan_start_ft3", lambda v: f"holding {commas(v)} ft³",
     ["level_pool.md", "index.md"]),
    ("level_pool.nan_after_ft3", "records {:.0f} ft³ at the next output time", ["level_pool.md"]),
    ("level_pool.short_curve_error", "routing, raises `{}`", ["level_pool.md"]),
    ("level_pool.short_curve_message", "\"{}\"", ["level_pool.md"]),
    ("level_pool.flood_sub_steps", lambda v: f"({commas(v)} sub-steps per run)",
     ["calibration.md"]),
    ("loss.saturated_in_per_h", "loses {:.3f} in/h", ["loss.md", "index.md"]),
    ("loss.saturated_deficit_end", "the deficit is {:.1f} at the end", ["loss.md"]),
    ("loss.no_recovery_in_per_h", "the constant rate, {:.2f} in/h", ["loss.md"]),
    ("loss.negative_rate_excess_in", "| -0.5 in/h | 0.0 in | 2.0 in | {:.1f} in |", ["loss.md"]),
    ("loss.negative_rate_loss_in", "in | {:.1f} in |", ["loss.md"]),
    ("loss.negative_deficit_excess_in", "| 0.0 in/h | -0.9 in | 2.0 in | {:.1f} in |",
     ["loss.md"]),
    ("loss.negative_deficit_excess_in", "1.0 in of rain can give {:.1f} in of excess",
     ["loss.md", "index.md"]),
    ("loss.negative_deficit_loss_in", "in | {:.1f} in |", ["loss.md"]),
    ("loss.negative_maximum_excess_in", "| 0.0 in/h | 0.0 in | -0.5 in | {:.1f} in |",
     ["loss.md"]),
    ("muskingum.c0_k1_x04_15min", "C0 = {:.3f}", ["muskingum.md"]),
    ("muskingum.min_k1_x04_15min", "{:.1f} cfs", ["muskingum.md", "index.md"]),
    ("muskingum.warnings_k1_x04_15min", "| {} |", ["muskingum.md"]),
    ("muskingum.c2_k1_x02_3h", "C2 = {:.3f}", ["muskingum.md"]),
    ("muskingum.min_k1_x02_3h", "{:.1f} cfs", ["muskingum.md"]),
    ("muskingum.warnings_k1_x02_3h", "| {} |", ["muskingum.md"]),
    ("muskingum.min_k1_x04_15min_4_sub_reaches", "12 min ≤ 15 min ≤ 2K(1 − x) = 18 min; the "
     "lowest outflow becomes {:.1f} cfs", ["muskingum.md"]),
    ("muskingum.min_k1_x02_resampled_1h", "1 h ≤ 1.6 h; the lowest outflow becomes {:.1f} cfs",
     ["muskingum.md"]),
    ("cn.lambda020_in", "gives {:.2f} in of excess with λ = 0.2", ["event_loss.md"]),
    ("cn.lambda005_in", "and {:.2f} in with λ = 0.05", ["event_loss.md"]),
    ("cn.lambda020_in", "gives {:.2f} in against", ["index.md"]),
    ("cn.lambda005_in", "against {:.2f} in of", ["index.md"]),
    ("cn.single_storm_in", "give {:.2f} in of excess from the first", ["event_loss.md"]),
    ("cn.second_storm_in", "and {:.2f} in from the second", ["event_loss.md"]),
    ("cn.second_storm_in", "runs off {:.2f} in instead", ["index.md"]),
    ("scs.peak_hours_lag", "moves the peak from {:.2f} h", ["unit_hydrographs.md"]),
    ("scs.peak_hours_tc", "to {:.1f} h and lowers", ["unit_hydrographs.md"]),
    ("scs.peak_lag_cfs", "from {:.1f} cfs to", ["unit_hydrographs.md", "index.md"]),
    ("scs.peak_tc_cfs", "to {:.1f} cfs", ["unit_hydrographs.md", "index.md"]),
    ("scs.table_peak_cfs", "peaks at {:.2f} cfs, not 484", ["unit_hydrographs.md"]),
    ("si.peak_cfs", "peaks at {:.1f} cfs", ["event_routing.md", "index.md"]),
    ("si.peak_elevation_ft", "cfs and {:.2f} ft, level", ["event_routing.md"]),
    ("si.level_pool_peak_cfs", "level pool routing at {:.1f} cfs", ["event_routing.md"]),
    ("si.level_pool_peak_cfs", "gives {:.1f} cfs", ["index.md"]),
    ("si.level_pool_peak_elevation_ft", "cfs and {:.2f} ft. Storage", ["event_routing.md"]),
    ("si.released_ft3", lambda v: f"accounts for all {commas(v)} ft³", ["event_routing.md"]),
    ("si.level_pool_released_ft3", lambda v: f"records account for {commas(v)} ft³",
     ["event_routing.md"]),
    ("si.coarse_peak_cfs", "30 minutes peaks at {:.1f} cfs", ["event_routing.md"]),
    ("mc.inflow_peak_cfs", "from 100 cfs to {:.1f} cfs in 8 h", ["event_routing.md"]),
    ("mc.min_cfs", "the outflow dips to {:.1f} cfs", ["event_routing.md"]),
    ("mc.min_cfs", "parameters dip to {:.1f} cfs", ["index.md"]),
    ("mc.constant_min_cfs", "never goes below {:.1f} cfs", ["event_routing.md"]),
    ("mc.constant_peak_cfs", "(peak {:.1f} cfs against", ["event_routing.md"]),
    ("mc.peak_cfs", "against {:.1f} cfs).", ["event_routing.md"]),
    ("mc.coarse_peak_cfs", "peaks at {:.1f} cfs where", ["event_routing.md"]),
    ("mc.peak_cfs", "the chosen grid gives {:.1f} cfs", ["event_routing.md"]),
    ("mc.substep_volume_share", lambda v: f"{-v * 100:.3f} % short", ["event_routing.md"]),
    ("ga.fine_in", "gives {:.2f} in of excess at 5-minute steps", ["event_loss.md"]),
    ("ga.hourly_in", "and {:.2f} in as one hourly step", ["event_loss.md"]),
    ("snyder.sketch_peak_cfs", "the equations give {:.1f} cfs", ["unit_hydrographs.md"]),
    ("snyder.peak_cfs", "peaks at {:.1f} cfs", ["unit_hydrographs.md"]),
    ("metrics.nse_drying", "the plain NSE is {:.3f}", ["metrics.md"]),
    ("metrics.log_eps", "ε = m_o / 100 = {}", ["metrics.md"]),
    ("metrics.log_nse_drying", "the log NSE is {:.3f}", ["metrics.md"]),
    ("metrics.log_nse_drying_1e6", "with ε = 1e-6 it is {:.3f}", ["metrics.md"]),
    ("metrics.log_nse_drying_01", "with ε = 0.1 it is {:.3f}", ["metrics.md"]),
    ("metrics.kge2009_biased", "KGE = {:.3f}", ["metrics.md", "index.md"]),
    ("metrics.kge2012_biased", "and gives {:.3f}", ["metrics.md"]),
    ("metrics.gaps", "dropping {} days (30 %)", ["metrics.md"]),
    ("metrics.nse_year", "scored with NSE {:.3f}", ["metrics.md"]),
    ("metrics.nse_scattered_gaps", "over the year leaves {:.3f}", ["metrics.md"]),
    ("metrics.nse_wet_gaps", "floods, gives {:.3f}", ["metrics.md", "index.md"]),
    ("metrics.pbias_year", "goes from {:.1f}", ["metrics.md"]),
    ("metrics.pbias_wet_gaps", "to {:.1f}", ["metrics.md"]),
    ("kge.nan", "is {}", ["kge.md"]),
    ("kge.constant_obs", "{:.2f}", ["kge.md", "index.md"]),
    ("kge.log_of_zero", "ln(1e-6) = {:.4f}", ["kge.md"]),
    ("kge.log_one_zero", "scores {:.3f} with `use_log=True`", ["kge.md"]),
    ("kge.plain_one_zero", "and {:.4f} without", ["kge.md"]),
    ("kge.log_shifted", "1 cfs scores {:.3f}", ["kge.md"]),
    ("kge.low_variance_self", "[0.001, 0.0011, 0.0012] against itself scores {:.1f}",
     ["kge.md", "index.md"]),
    ("kge.low_variance_d", "(D = {:.1e})", ["kge.md"]),
    ("kge.low_variance_self_x10", "[0.01, 0.011, 0.012], score {:.1f}", ["kge.md"]),
    ("kge.cases", "On {} generated series", ["kge.md"]),
    ("kge.max_difference_textbook", "transcription within {:.1e}", ["kge.md"]),
    ("kge.max_difference_spotpy", "`spotpy.objectivefunctions.kge` within {:.1e}", ["kge.md"]),
    ("errors.panic_type", "raises `{}` with the message", ["errors.md"]),
    ("errors.panic_stderr_lines", lambda v: f"{['no', 'one', 'two', 'three'][v]}-line diagnostic",
     ["errors.md", "index.md"]),
    ("errors.panic_stderr_first_line_starts", "{} thread <thread id> at", ["errors.md"]),
    ("errors.panic_stderr_second_line", "<column>: {}", ["errors.md"]),
    ("errors.panic_message", '"{}"', ["errors.md"]),
    ("front.daily_net_mm", "loss {:.1f} mm as one daily step", ["basin.md"]),
    ("front.hourly_net_mm", "but {:.3f} mm as 24 hourly steps", ["basin.md"]),
    ("gr4j.rain_mm", lambda v: f"({commas(v)} mm of rain)", ["gr4j.md"]),
    ("gr4j.first_year_empty_mm", "{:.1f} mm of flow from empty stores", ["gr4j.md"]),
    ("gr4j.first_year_full_mm", "{:.1f} mm from full ones", ["gr4j.md"]),
    ("gr4j.second_year_ratio", "a ratio of {:.4f}", ["gr4j.md"]),
    ("gr4j.lossy_exchange_mm", "exports {:.1f} mm", ["gr4j.md"]),
    ("gr4j.lossy_flow_mm", "the flow is {:.1f} mm", ["gr4j.md"]),
    ("gr4j.x4_below_half_same", "(identical: {})", ["gr4j.md"]),
    ("hbv.rain_mm", lambda v: f"({commas(v)} mm of precipitation", ["hbv.md"]),
    ("hbv.snow_days_p_mm", "the {:.1f} mm that fell", ["hbv.md"]),
    ("hbv.snow_days_p_mm", "({:.1f} mm of snow-day", ["index.md"]),
    ("hbv.snowfall_mm", "becomes {:.1f} mm)", ["index.md"]),
    ("hbv.snowfall_mm", "enter as {:.1f} mm of snowfall", ["hbv.md"]),
    ("hbv.first_year_dry_mm", "first year gives {:.1f} mm", ["hbv.md"]),
    ("hbv.first_year_wet_mm", "lower zone {:.1f} mm", ["hbv.md"]),
    ("hbv.second_year_ratio", "a ratio of {:.4f}", ["hbv.md"]),
    ("pet.oudin_year_mm", "Oudin gives {:.1f} mm", ["evapotranspiration.md"]),
    ("pet.hargreaves_year_mm", "Hargreaves {:.1f} mm", ["evapotranspiration.md", "index.md"]),
    ("pet.hamon_year_mm", "Hamon {:.1f} mm", ["evapotranspiration.md", "index.md"]),
    ("pet.oudin_year_mm", "(Oudin {:.1f} mm", ["index.md"]),
    ("snow.one_band_peak_mm", "of {:.1f} mm, five bands", ["snow.md"]),
    ("snow.five_band_peak_mm", "same median {:.1f} mm", ["snow.md"]),
    ("snow.minus_half_snowfall_share", "a share of {:.3f} falls as snow", ["snow.md"]),
    ("pet.polar_zero_days", "{} days of the year at 75° N", ["evapotranspiration.md"]),
]


def quoted(fmt, value):
    text = fmt(value) if callable(fmt) else fmt.format(value)
    # The pages write minus signs as such.
    return re.sub(r"(?<![\w.])-(?=\d)", "−", text)


# Agreement with spotpy is quoted as a bound: its rounding depends on the NumPy build.
BOUNDS = {"kge.max_difference_spotpy"}


@pytest.mark.parametrize("key, fmt, pages", QUOTES, ids=[q[0] for q in QUOTES])
def test_pages_quote_the_computed_number(numbers, key, fmt, pages):
    if key not in numbers:
        pytest.skip(f"{key} needs spotpy and NumPy (pip install '.[test]')")
    for name in pages:
        if key in BOUNDS:
            before, _, after = fmt.partition("{")
            found = re.search(re.escape(before) + r"([0-9.e+-]+)", page(name))
            assert found, f"{name} does not quote {key}"
            assert numbers[key] <= 10 * float(found.group(1)), f"{name}: {key} is {numbers[key]}"
        else:
            text = quoted(fmt, numbers[key])
            assert text in page(name), f"{name} does not quote {key} as {text!r}"


def test_numbers_agree_with_hand_arithmetic(numbers):
    # Level pool: 4 recorded steps of 500 cfs for an hour each; 5 hourly values of 10 cfs; the
    # first interval adds one second of trapezoid from 100 cfs to the 0 cfs at T + 1 s.
    assert numbers["level_pool.empty_released_ft3"] == 500.0 * 4 * 3600
    assert numbers["level_pool.empty_inflow_ft3"] == 10.0 * 5 * 3600
    assert numbers["level_pool.first_interval_stored_ft3"] == (100.0 + 0.0) * 0.5 * 1.0
    assert numbers["level_pool.result_values"] == numbers["level_pool.inflow_values"] - 1
    # By the trapezoid rule: 4 h of 10 cfs in, 3 h between the 4 records of 500 cfs out.
    assert numbers["level_pool.empty_inflow_trapezoid_ft3"] == 10.0 * 4 * 3600
    assert numbers["level_pool.empty_released_trapezoid_ft3"] == 500.0 * 3 * 3600
    # The gated outlet: 23 h of 10 cfs in, less the 1,000 ft3 left in the pool at the end; one
    # opening takes 500 - 10 ft3, which 10 cfs refills in 49 s, so it opens every 50th second.
    assert numbers["level_pool.gated_released_ft3"] == 10.0 * 23 * 3600 - 1000.0
    assert numbers["level_pool.gated_period_s"] == (500.0 - 10.0) / 10.0 + 1
    assert numbers["level_pool.gated_records_match_seconds"] is True
    # The ensemble's flood: 12 daily values, T (n - 2) + 1 seconds.
    assert numbers["level_pool.flood_sub_steps"] == 86400 * (12 - 2) + 1
    # Loss: a saturated soil regains max_deficit * (1 - e^(-dt/T)) before every step's rain.
    assert numbers["loss.saturated_in_per_h"] == pytest.approx(
        0.15 + 2.0 * (1.0 - math.exp(-1.0 / 48.0)), rel=1e-14)
    # Clark, tc 2 h at 1 h: two ordinates summing to one inch over the basin, and the storage
    # step keeps C0 (T0 + T1) with C0 = dt / (dt + 2R) = 1 / 17.
    assert numbers["clark.depth_tc2_r8_1h"] == pytest.approx(1.0 / 17.0, rel=1e-12)
    # Muskingum: the first outflow after the rise is C0 * 100 with C0 = (0.25 - 0.8) / 1.45.
    assert numbers["muskingum.min_k1_x04_15min"] == pytest.approx(-0.55 / 1.45 * 100.0)
    # KGE of [1, 2, 3] against constant [1, 1, 1]: r-term 1, beta 2, gamma sqrt(2/3) / 1e-6.
    gamma = math.sqrt(2.0 / 3.0) / 1e-6
    assert numbers["kge.constant_obs"] == pytest.approx(
        1.0 - math.sqrt(1.0 + 1.0 + (gamma - 1.0) ** 2), rel=1e-12)
    assert math.isnan(numbers["kge.nan"])
    # 1.3 x the observations: r = 1, alpha = beta = 1.3 (2009); gamma = 1 (2012).
    assert numbers["metrics.kge2009_biased"] == pytest.approx(1.0 - math.sqrt(2 * 0.3**2))
    assert numbers["metrics.kge2012_biased"] == pytest.approx(0.7)
    assert numbers["errors.panic_caught_by_except_exception"] is False


def code_blocks(path):
    return re.findall(r"```python\n(.*?)```", path.read_text(), flags=re.DOTALL)


def run_blocks(path):
    """Runs the page's blocks in order in one namespace; a block needing a missing NumPy or
    pandas is left out (and the test skipped once the others have run)."""
    namespace, missing = {"__name__": f"docs_{path.stem}"}, set()
    for block in code_blocks(path):
        try:
            with contextlib.redirect_stdout(io.StringIO()):
                exec(compile(block, str(path), "exec"), namespace)
        except ImportError as error:
            if error.name not in ("numpy", "pandas"):
                raise
            missing.add(error.name)
    if missing:
        pytest.skip(f"{path.name}: blocks using {', '.join(sorted(missing))} not run (not "
                    "installed); the others ran")
    return namespace


PAGES_WITH_CODE = [DOCS / name for name in ("loss.md", "clark.md", "baseflow.md", "muskingum.md",
                                            "level_pool.md", "kge.md", "metrics.md", "data.md",
                                            "errors.md", "basin.md")]


@pytest.mark.parametrize("path", PAGES_WITH_CODE + [REPO / "README.md"], ids=lambda p: p.name)
def test_page_examples_run(path):
    assert code_blocks(path)
    run_blocks(path)


HOUR = timedelta(hours=1)
QUARTER = timedelta(minutes=15)


@pytest.mark.parametrize("tc, storage_r, step", [
    (3 * HOUR, 2 * HOUR, QUARTER), (2 * HOUR, 8 * HOUR, HOUR), (HOUR, 2 * HOUR, HOUR),
    (HOUR, 2 * HOUR, QUARTER),
])
def test_full_volume_clark_recipe_conserves_mass(tc, storage_r, step):
    recipe = run_blocks(DOCS / "clark.md")
    area, step_h = 1000.0, step.total_seconds() / 3600.0
    unit = recipe["full_clark_unit_hydrograph"](step, area, tc, storage_r)
    assert min(unit) >= 0.0
    assert sum(unit) * step_h / (area * 1.00833) == pytest.approx(1.0, abs=1e-9)
    # A storm of several steps comes out with its whole depth too.
    excess = vesparil.utils.IncrementalTimeSeries([0.2, 0.5, 0.0, 0.3], step, "rainfall")
    runoff = recipe["clark_full_volume"](excess, area, tc, storage_r)
    assert sum(runoff.data) * step_h / (area * 1.00833) == pytest.approx(1.0, abs=1e-9)
