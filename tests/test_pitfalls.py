"""The user guide (docs/) against the library: quoted pitfall numbers, recipes and examples.

scripts/pitfalls.py computes every number the Pitfalls sections quote. Here each quote is looked
up in its pages, the larger numbers are rederived by hand, the full-volume Clark recipe of
docs/clark.md is run and checked by its mass balance, and every code block of the pages and of the
README runs, but on the pages of NOT_RUN, which need the network or a download of data.
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
from pitfall_quotes import QUOTES

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


# The pages whose code is not run, each with the reason: it needs the network or a download of
# data. Every other page with Python code, the README included, runs.
NOT_RUN = {
    "calibration.md": "excerpts of examples/calibrate_fulda.py, run on the Fulda record that "
                      "ships in the spotpy wheel (a download), for a full calibration",
}
PAGES = sorted(DOCS.glob("*.md")) + [REPO / "README.md"]
PAGES_WITH_CODE = [path for path in PAGES if code_blocks(path) and path.name not in NOT_RUN]


@pytest.mark.parametrize("path", PAGES_WITH_CODE, ids=lambda p: p.name)
def test_page_examples_run(path):
    run_blocks(path)


@pytest.mark.parametrize("name", NOT_RUN)
def test_pages_not_run_have_code(name):
    # A page that lost its code, or its name, leaves this table.
    assert code_blocks(DOCS / name)


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
