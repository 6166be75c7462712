"""The numbers quoted on the errors page (the internal-error diagnostic); scripts/pitfalls.py
adds them to its own."""

import subprocess
import sys
from datetime import timedelta

import vesparil

HOUR = timedelta(hours=1)


def errors():
    try:
        vesparil.reach.run_muskingum_routing(
            vesparil.utils.ContinuousTimeSeries([], HOUR, "discharge"), HOUR, 0.2, 1, 0.0
        )
    except Exception:  # noqa: BLE001 - this is what it must not catch
        caught_by_exception = True
    except BaseException as internal:
        caught_by_exception = False
        panic = internal
    # The diagnostic goes to the process's standard error, so it is read from a child process.
    child = subprocess.run(
        [sys.executable, "-c",
         "from datetime import timedelta\n"
         "import vesparil\n"
         "hour = timedelta(hours=1)\n"
         "empty = vesparil.utils.ContinuousTimeSeries([], hour, 'discharge')\n"
         "try:\n"
         "    vesparil.reach.run_muskingum_routing(empty, hour, 0.2, 1, 0.0)\n"
         "except BaseException:\n"
         "    pass\n"],
        capture_output=True, text=True, check=True)
    diagnostic = child.stderr.splitlines()
    return {
        "errors.panic_stderr_lines": len(diagnostic),
        "errors.panic_stderr_first_line_starts": diagnostic[0].split(" thread ")[0],
        "errors.panic_stderr_second_line": diagnostic[1],
        "errors.panic_caught_by_except_exception": caught_by_exception,
        "errors.panic_type": type(panic).__qualname__,
        "errors.panic_message": str(panic),
    }


def numbers():
    return errors()
