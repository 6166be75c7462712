"""The child interpreter in which the hardening tests run whatever could crash or hang."""

import subprocess
import sys
import textwrap


def run_child(code, timeout=60):
    """Runs `code` in a fresh interpreter; returns the finished process (output as text)."""
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True,
                          text=True, timeout=timeout)
