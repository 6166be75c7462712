"""Names and helpers shared by the fast paths' test files."""

import os
import subprocess
import sys
import textwrap
from datetime import timedelta

import vesparil

HOUR = timedelta(hours=1)
ContinuousTimeSeries = vesparil.utils.ContinuousTimeSeries
rutils = vesparil.reservoir.reservoir_utils


def child_output(code, timeout=60):
    """Standard output of `code` run by a fresh interpreter (fails on a non-zero exit)."""
    done = subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True,
                          text=True, timeout=timeout,
                          env={**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)})
    assert done.returncode == 0, done.stderr
    return done.stdout
