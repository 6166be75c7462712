"""examples/storm_event.py, the README's first command: it runs, closes its mass balances and
writes its figure."""

import re
import subprocess
import sys
from pathlib import Path

import pytest

EXAMPLE = Path(__file__).resolve().parent.parent / "examples" / "storm_event.py"


def test_storm_event_balances_and_writes_the_figure(tmp_path):
    pytest.importorskip("matplotlib", reason="the example draws with matplotlib (pip install "
                        "'.[examples]')")
    figure = tmp_path / "storm.png"
    run = subprocess.run([sys.executable, str(EXAMPLE), str(figure)], capture_output=True,
                         text=True, check=True, cwd=tmp_path)
    assert figure.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    # The loss, baseflow, reach and reservoir rows each end in "= <residual>" (acre-feet); on a
    # storm of 1,500 acre-feet each closes within a tenth of an acre-foot.
    residuals = [float(r) for r in re.findall(r"= ([+-]\d+\.\d+)$", run.stdout, re.MULTILINE)]
    assert len(residuals) == 4, run.stdout
    assert all(abs(r) < 0.1 for r in residuals), run.stdout


def test_storm_event_with_the_manuals_methods_keeps_the_excess():
    # examples/storm_event_scs.py: curve number + SCS unit hydrograph beside the Clark basin; the
    # SCS direct runoff carries the whole excess (to the module's 1.00833 conversion).
    script = EXAMPLE.with_name("storm_event_scs.py")
    run = subprocess.run([sys.executable, str(script)], capture_output=True, text=True,
                         check=True)
    share = float(re.search(r"excess = (\d\.\d+)", run.stdout).group(1))
    assert abs(share - 1.00833 / (43560 / 12 / 3600)) < 1e-6, run.stdout
