"""Calibrate the daily chain of the Fulda river (2,976 km2) by KGE, then validate it.

    python3 examples/calibrate_fulda.py                   # scipy differential evolution
    python3 examples/calibrate_fulda.py --spotpy          # the same with spotpy's SCE-UA

Needs numpy, scipy, spotpy (the record ships inside its wheel) and matplotlib for the figure.

The chain (see fulda_chain.py): deficit-and-constant loss -> Clark unit hydrograph of the excess
-> direct runoff, and two linear-reservoir baseflow layers fed by the loss; discharge = direct
runoff + baseflow. It has no evapotranspiration term: a simple chain. A two-parameter degree-day
snow store in plain Python goes before it, because the Fulda's late-winter floods are melt
floods; `--no-snow` drops it (the validation KGE then falls from about 0.66 to about 0.39).

Clark pitfall at a daily step: the unit hydrograph keeps only ceil(tc / dt) ordinates and the
first is zero, so tc must exceed one day or all direct runoff vanishes; the lower bound of tc is
1.05 days.

Calibration on 1980-1986 (1979 warms the stores up), validation on 1987-1988. The script prints
the parameters, the KGE and volume ratio of both periods and the evaluations per second, and
writes a figure of observed against simulated discharge for the validation years.
"""

from __future__ import annotations

import argparse
import contextlib
import io
import sys
import time
from collections.abc import Callable, Sequence
from dataclasses import dataclass
from typing import Any, TextIO

try:
    import numpy as np
    import numpy.typing as npt
    import spotpy
    from scipy.optimize import differential_evolution
except ImportError as missing:
    raise SystemExit(f"calibrate_fulda.py needs {missing.name}: "
                     "python3 -m pip install 'vesparil[examples]'") from missing

import fulda_chain
from fulda_chain import FuldaChain, FuldaRecord, kge, volume_ratio


@dataclass(frozen=True)
class Calibration:
    params: list[float]
    kge: float  # of the calibration period
    evaluations: int
    seconds: float


def chain_for(record: FuldaRecord, snow: bool = True) -> FuldaChain:
    return FuldaChain(record.rain_in, record.tmean_c, min(record.observed_m3s), snow)


def calibration_objective(
    record: FuldaRecord, snow: bool = True
) -> Callable[[Sequence[float]], float]:
    """1 - KGE of the calibration period: the optimisers minimise."""
    chain = chain_for(record, snow)
    period = record.calibration

    def objective(params: Sequence[float]) -> float:
        return 1.0 - kge(chain.discharge(params), record.observed_m3s, period)

    return objective


def calibrate(
    record: FuldaRecord,
    seed: int,
    maxiter: int,
    popsize: int,
    init: str | npt.NDArray[np.float64] = "latinhypercube",
    snow: bool = True,
) -> Calibration:
    """Differential evolution over the parameter bounds, seeded, so a run can be repeated."""
    objective = calibration_objective(record, snow)
    start = time.perf_counter()
    # No polishing: the gradient method that polishes assumes a smooth objective, and the
    # number of unit hydrograph ordinates makes this one jump with tc.
    result = differential_evolution(
        objective, fulda_chain.bounds(snow), seed=seed, maxiter=maxiter, popsize=popsize, init=init,
        polish=False, tol=1e-8)
    seconds = time.perf_counter() - start
    return Calibration([float(v) for v in result.x], 1.0 - float(result.fun),
                       int(result.nfev), seconds)


class SpotpySetup:
    """The chain as a spotpy setup: parameters, simulation, evaluation, objective function."""

    def __init__(self, record: FuldaRecord, snow: bool = True) -> None:
        self.record = record
        self.chain = chain_for(record, snow)
        self.params = [spotpy.parameter.Uniform(p.name, p.low, p.high)
                       for p in self.chain.parameters]
        self.evaluations = 0

    def parameters(self) -> Any:
        return spotpy.parameter.generate(self.params)

    def simulation(self, vector: Sequence[float]) -> list[float]:
        self.evaluations += 1
        return self.chain.discharge([float(v) for v in vector])

    def evaluation(self) -> list[float]:
        return self.record.observed_m3s

    def objectivefunction(
        self, simulation: Sequence[float], evaluation: Sequence[float],
        params: Any = None,
    ) -> float:
        # SCE-UA minimises.
        return 1.0 - kge(simulation, evaluation, self.record.calibration)


class _WithoutLine(io.TextIOBase):
    """A text stream that passes everything to `target` except the lines equal to `line`."""

    def __init__(self, target: TextIO, line: str) -> None:
        self.target, self.line, self.pending = target, line, ""

    def write(self, text: str) -> int:
        self.pending += text
        *lines, self.pending = self.pending.split("\n")
        for kept in lines:
            if kept != self.line:
                self.target.write(kept + "\n")
        return len(text)

    def flush(self) -> None:
        if self.pending and self.pending != self.line:
            self.target.write(self.pending)
        self.pending = ""
        self.target.flush()


def calibrate_spotpy(
    record: FuldaRecord, seed: int, repetitions: int, snow: bool = True
) -> Calibration:
    setup = SpotpySetup(record, snow)
    # Nothing is stored: the sampler's own statistics keep the best parameter set.
    sampler = spotpy.algorithms.sceua(
        setup, dbname="fulda_sceua", dbformat="noData", save_sim=False, random_state=seed)
    start = time.perf_counter()
    # SCE-UA prints a line for each run it discards once it has converged; keep the rest.
    with contextlib.redirect_stdout(_WithoutLine(sys.stdout, "Skipping saving")):
        sampler.sample(repetitions, ngs=2 * len(setup.params))
    seconds = time.perf_counter() - start
    params = [float(v) for v in sampler.status.params_min]
    return Calibration(params, 1.0 - float(sampler.status.objectivefunction_min),
                       setup.evaluations, seconds)


def plot_validation(record: FuldaRecord, simulated: Sequence[float], path: str) -> None:
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    start, stop = record.validation
    days = np.array(record.dates[start:stop], dtype="datetime64[D]")
    fig, ax = plt.subplots(figsize=(10, 4))
    ax.plot(days, record.observed_m3s[start:stop], color="black", linewidth=1.0,
            label="observed")
    ax.plot(days, simulated[start:stop], color="tab:blue", linewidth=1.0, label="simulated")
    ax.set_ylabel("discharge (m³/s)")
    ax.set_title(f"Fulda, validation 1987-1988: KGE "
                 f"{kge(simulated, record.observed_m3s, record.validation):.3f}")
    ax.legend()
    fig.tight_layout()
    fig.savefig(path, dpi=100)
    plt.close(fig)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--maxiter", type=int, default=100,
                        help="differential evolution generations (default 100)")
    parser.add_argument("--popsize", type=int, default=15,
                        help="population per parameter (default 15)")
    parser.add_argument("--spotpy", action="store_true",
                        help="calibrate with spotpy's SCE-UA instead")
    parser.add_argument("--repetitions", type=int, default=10000,
                        help="SCE-UA evaluation budget (default 10000)")
    parser.add_argument("--no-snow", dest="snow", action="store_false",
                        help="run the chain without the degree-day snow store")
    parser.add_argument("--png", default="fulda_validation.png",
                        help="figure of the validation years (default fulda_validation.png)")
    args = parser.parse_args()

    record = fulda_chain.load_fulda()
    if args.spotpy:
        method = "spotpy SCE-UA"
        result = calibrate_spotpy(record, args.seed, args.repetitions, args.snow)
    else:
        method = "differential evolution"
        result = calibrate(record, args.seed, args.maxiter, args.popsize, snow=args.snow)

    chain = chain_for(record, args.snow)
    simulated = chain.discharge(result.params)
    observed = record.observed_m3s
    print(f"Fulda, {method}, seed {args.seed}, {'with' if args.snow else 'without'} snow store")
    for parameter, value in zip(chain.parameters, result.params, strict=True):
        print(f"  {parameter.name:<22}{value:10.4f} {parameter.unit}")
    for name, period in (("calibration 1980-1986", record.calibration),
                         ("validation  1987-1988", record.validation)):
        print(f"{name}: KGE {kge(simulated, observed, period):.4f}, "
              f"volume ratio {volume_ratio(simulated, observed, period):.4f}")
    print(f"{result.evaluations} evaluations in {result.seconds:.1f} s: "
          f"{result.evaluations / result.seconds:.0f} evaluations per second")
    plot_validation(record, simulated, args.png)
    print(f"figure: {args.png}")


if __name__ == "__main__":
    main()
