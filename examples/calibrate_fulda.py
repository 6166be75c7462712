"""Calibrate the daily chain of the Fulda river (2,976 km2) by KGE, then validate it.

    python3 examples/calibrate_fulda.py                   # scipy differential evolution
    python3 examples/calibrate_fulda.py --spotpy          # the same with spotpy's SCE-UA
    python3 examples/calibrate_fulda.py --basin           # a basin model, one batch a generation

Needs numpy, scipy, spotpy (the record ships inside its wheel) and matplotlib for the figure.

The chain (see fulda_chain.py): deficit-and-constant loss -> Clark unit hydrograph of the excess
-> direct runoff, and two linear-reservoir baseflow layers fed by the loss; discharge = direct
runoff + baseflow. It has no evapotranspiration term: a simple chain. A two-parameter degree-day
snow store in plain Python goes before it, because the Fulda's late-winter floods are melt
floods; `--no-snow` drops it (the validation KGE then falls from about 0.66 to about 0.39).

Clark pitfall at a daily step: the unit hydrograph keeps only ceil(tc / dt) ordinates and the
first is zero, so tc must exceed one day or all direct runoff vanishes; the lower bound of tc is
1.05 days.

With `--basin` the chain is a `vesparil.basin` model and differential evolution runs vectorized:
each generation is one `run_batch` call on every core. A batch shares its forcing, so the snow
store's two parameters stay outside it: a grid of thresholds and melt factors, each with a short
calibration of the nine parameters of the chain (30 generations), picks the pair, and the full
calibration runs with it (`--snow-threshold` and `--melt-factor` give the pair instead). The
basin puts the baseflow on its time axis (docs/basin.md), a day earlier than fulda_chain.py.

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

import fulda_basin
import fulda_chain
from fulda_chain import FuldaChain, FuldaRecord, kge, volume_ratio
from vesparil import metrics


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


def calibrate_basin(record: FuldaRecord, seed: int, maxiter: int, popsize: int,
                    snow: tuple[float, float] | None = (0.0, 3.0)) -> Calibration:
    """Vectorized differential evolution: a whole generation is one run_batch call."""
    model = fulda_basin.model(record)
    forcing = {"fulda": fulda_basin.rain(record, snow)}
    observed = np.array(record.observed_m3s) / fulda_chain.CUBIC_METRES_PER_CUBIC_FOOT
    start_day, stop_day = record.calibration
    evaluations = 0

    def objective(population: npt.NDArray[np.float64]) -> npt.NDArray[np.float64]:
        nonlocal evaluations
        table = fulda_basin.table(np.atleast_2d(population.T))
        evaluations += len(table)
        _, flows = model.run_batch(table, fulda_basin.COLUMNS, forcing, observed, outflows=True)
        period = observed[start_day:stop_day]
        return np.array([1.0 - metrics.calculate_kge(row[start_day:stop_day], period)
                         for row in flows])

    bounds = fulda_chain.bounds(snow=False)
    start = time.perf_counter()
    result = differential_evolution(objective, bounds, seed=seed, maxiter=maxiter,
                                    popsize=popsize, polish=False, tol=1e-8, vectorized=True,
                                    updating="deferred")
    seconds = time.perf_counter() - start
    return Calibration([float(v) for v in result.x], 1.0 - float(result.fun), evaluations,
                       seconds)


THRESHOLDS, MELT_FACTORS = (-1.0, 0.0, 1.0, 2.0, 3.0), (1.0, 3.0, 5.0, 7.0)


def snow_grid(record: FuldaRecord, seed: int, popsize: int,
              generations: int = 30) -> tuple[tuple[float, float], Calibration]:
    """The grid's (threshold, melt factor) whose short calibration scores best, and its cost."""
    runs = [(calibrate_basin(record, seed, generations, popsize, (threshold, melt)),
             (threshold, melt)) for threshold in THRESHOLDS for melt in MELT_FACTORS]
    best, snow = max(runs, key=lambda run: run[0].kge)
    return snow, Calibration(best.params, best.kge, sum(run.evaluations for run, _ in runs),
                             sum(run.seconds for run, _ in runs))


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
    parser.add_argument("--basin", action="store_true",
                        help="calibrate a basin model, one run_batch call per generation")
    parser.add_argument("--snow-threshold", type=float,
                        help="with --basin: the snow store's threshold (degC; default: the grid)")
    parser.add_argument("--melt-factor", type=float,
                        help="with --basin: the melt factor (mm/degC/day; default: the grid)")
    parser.add_argument("--no-snow", dest="snow", action="store_false",
                        help="run the chain without the degree-day snow store")
    parser.add_argument("--png", default="fulda_validation.png",
                        help="figure of the validation years (default fulda_validation.png)")
    args = parser.parse_args()

    record = fulda_chain.load_fulda()
    if args.basin:
        snow: tuple[float, float] | None = None
        searched = Calibration([], 0.0, 0, 0.0)
        if args.snow and args.snow_threshold is not None and args.melt_factor is not None:
            snow = (args.snow_threshold, args.melt_factor)
        elif args.snow:
            snow, searched = snow_grid(record, args.seed, args.popsize)
            print(f"snow store: threshold {snow[0]:.1f} degC, melt factor {snow[1]:.1f} mm/degC/day "
                  f"(grid: {searched.evaluations} evaluations in {searched.seconds:.1f} s)")
        result = calibrate_basin(record, args.seed, args.maxiter, args.popsize, snow)
        result = Calibration(result.params, result.kge, result.evaluations + searched.evaluations,
                             result.seconds + searched.seconds)
        simulated = fulda_basin.discharge(record, result.params, snow)
        report(record, "basin, vectorized differential evolution", args, result, simulated,
               fulda_chain.PARAMETERS)
        return
    if args.spotpy:
        method = "spotpy SCE-UA"
        result = calibrate_spotpy(record, args.seed, args.repetitions, args.snow)
    else:
        method = "differential evolution"
        result = calibrate(record, args.seed, args.maxiter, args.popsize, snow=args.snow)

    chain = chain_for(record, args.snow)
    report(record, method, args, result, chain.discharge(result.params), chain.parameters)


def report(record: FuldaRecord, method: str, args: argparse.Namespace, result: Calibration,
           simulated: Sequence[float], parameters: Sequence[fulda_chain.Parameter]) -> None:
    observed = record.observed_m3s
    print(f"Fulda, {method}, seed {args.seed}, {'with' if args.snow else 'without'} snow store")
    for parameter, value in zip(parameters, result.params, strict=True):
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
