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
