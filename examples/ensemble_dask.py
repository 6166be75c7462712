"""A Latin-hypercube ensemble of the Fulda chain on a Dask cluster, or on threads of one process.

    python3 examples/ensemble_dask.py                               # LocalCluster, 2 processes
    python3 examples/ensemble_dask.py --scheduler tcp://host:8786   # an existing cluster
    python3 examples/ensemble_dask.py --threads 2                   # ThreadPoolExecutor instead

Needs numpy, scipy and dask[distributed]; spotpy where the record is read (this process only).

Every run simulates 1979-1988 with one parameter set (fulda_chain.py), scores it by KGE on the
calibration and validation years, and routes its simulated June 1981 flood through a planned
detention reservoir: the level pool routing steps through every second of the twelve flood
days, which makes each run long enough that the library's own work, not the interpreter,
dominates (`--no-reservoir` leaves that step out). The result: the best parameter sets, and how
much the reservoir's peak release varies among the well-scoring ones.

Work goes out as plain numbers and lists (the library's objects cannot be pickled; each task
builds its own), in batches of many runs so the scheduler's overhead per task stays small. The
record is sent to every worker once. The first `--serial` runs are also done in this process,
one after another: that gives the speed-up, and their results must equal the parallel ones to
the last bit. On a real cluster every worker needs vesparil and numpy installed; this script
uploads fulda_chain.py to the workers itself.
"""

from __future__ import annotations

import argparse
import logging
import math
import statistics
import time
from collections.abc import Callable, Sequence
from concurrent.futures import ThreadPoolExecutor
from typing import Any

try:
    from scipy.stats import qmc
except ImportError as missing:
    raise SystemExit(f"ensemble_dask.py needs {missing.name}: "
                     "python3 -m pip install 'vesparil[examples]'") from missing

import fulda_chain
from fulda_chain import evaluate_batch

# What every task receives besides its batch: the forcing lists, the calibration and
# validation index ranges, the flood index range (or None) and the snow switch.
Job = tuple[fulda_chain.Forcing, tuple[int, int], tuple[int, int], tuple[int, int] | None, bool]


def latin_hypercube(samples: int, seed: int, snow: bool = True) -> list[list[float]]:
    """`samples` parameter sets spread over the calibration bounds, as plain lists."""
    bounds = fulda_chain.bounds(snow)
    unit = qmc.LatinHypercube(d=len(bounds), seed=seed).random(samples)
    scaled = qmc.scale(unit, [b[0] for b in bounds], [b[1] for b in bounds])
    return [[float(v) for v in row] for row in scaled]


def make_job(record: fulda_chain.FuldaRecord, reservoir: bool, snow: bool = True) -> Job:
    flood = record.flood if reservoir else None
    return fulda_chain.forcing_of(record), record.calibration, record.validation, flood, snow


def batches(rows: Sequence[list[float]], size: int) -> list[list[list[float]]]:
    return [list(rows[i:i + size]) for i in range(0, len(rows), size)]


def run_serial(rows: Sequence[list[float]], job: Job) -> list[list[float]]:
    return evaluate_batch(rows, *job)


def run_threads(rows: Sequence[list[float]], job: Job, batch: int,
                threads: int) -> list[list[float]]:
    with ThreadPoolExecutor(max_workers=threads) as pool:
        parts = pool.map(lambda part: evaluate_batch(part, *job), batches(rows, batch))
        return [row for part in parts for row in part]


def prepare_workers(client: Any) -> None:
    """Ships fulda_chain.py to every worker: the tasks call into it."""
    client.upload_file(fulda_chain.__file__)


def run_dask(client: Any, rows: Sequence[list[float]], job: Job,
             batch: int) -> list[list[float]]:
    """Submits one task per batch; the record goes to every worker once, up front."""
    forcing, calibration, validation, flood, snow = job
    # A list of one item, so that the forcing travels as one piece of data.
    [shared] = client.scatter([forcing], broadcast=True)
    futures = [
        client.submit(evaluate_batch, part, shared, calibration, validation, flood, snow,
                      pure=False)
        for part in batches(rows, batch)
    ]
    return [row for part in client.gather(futures) for row in part]


def bits(rows: Sequence[Sequence[float]]) -> list[list[str]]:
    """Exact text of every value, so that NaN compares equal to NaN."""
    return [[value.hex() for value in row] for row in rows]


def connect(scheduler: str | None, workers: int) -> Any:
    """A client of the given scheduler, or of a LocalCluster that closes with the client."""
    try:
        from dask.distributed import Client
    except ImportError as missing:
        raise SystemExit(f"ensemble_dask.py needs {missing.name} (or --threads N): "
                         "python3 -m pip install 'vesparil[examples]'") from missing

    # The constructor carries no annotations; through this name the calls are typed.
    new_client: Callable[..., Any] = Client
    # Reading the record imports spotpy, which gives the root logger a handler; the cluster's
    # informational messages would all be printed through it.
    logging.getLogger("distributed").setLevel(logging.ERROR)
    if scheduler:
        return new_client(scheduler)
    return new_client(n_workers=workers, threads_per_worker=1, processes=True,
                      dashboard_address=None, silence_logs=logging.ERROR)


def report(rows: Sequence[list[float]], results: Sequence[list[float]], snow: bool,
           reservoir: bool, best: int) -> None:
    names = [p.name for p in fulda_chain.parameters(snow)]
    # Highest calibration KGE first; runs without a score (NaN) last.
    ranked = sorted(range(len(rows)),
                    key=lambda i: (math.isnan(results[i][0]), -results[i][0]))
    print(f"best {best} parameter sets by calibration KGE:")
    print("   KGE cal  KGE val  vol.ratio  peak release  " + " ".join(names))
    for i in ranked[:best]:
        kge_cal, kge_val, ratio, peak = results[i]
        values = " ".join(f"{v:.4g}" for v in rows[i])
        print(f"   {kge_cal:7.4f}  {kge_val:7.4f}  {ratio:9.4f}  {peak:8.1f} m3/s  {values}")
    if reservoir:
        top = ranked[: max(1, len(ranked) // 10)]
        peaks = [results[i][3] for i in top if not math.isnan(results[i][3])]
        overtopped = len(top) - len(peaks)
        if peaks:
            print(f"peak release over the best 10% ({len(top)} runs): min {min(peaks):.1f}, "
                  f"median {statistics.median(peaks):.1f}, max {max(peaks):.1f} m3/s; "
                  f"{overtopped} overtop the dam")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scheduler", help="address of a running Dask scheduler; "
                        "without it a LocalCluster is started")
    parser.add_argument("--workers", type=int, default=2,
                        help="LocalCluster worker processes, one thread each (default 2)")
    parser.add_argument("--threads", type=int, default=0,
                        help="run on a ThreadPoolExecutor of this many threads instead of Dask")
    parser.add_argument("--samples", type=int, default=1000)
    parser.add_argument("--batch", type=int, default=0,
                        help="runs per task (default: eight tasks per worker)")
    parser.add_argument("--serial", type=int, default=200,
                        help="runs repeated serially for the speed-up and the check")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--best", type=int, default=5)
    parser.add_argument("--no-reservoir", dest="reservoir", action="store_false",
                        help="leave out the flood routing (runs become about 20 times shorter)")
    parser.add_argument("--no-snow", dest="snow", action="store_false",
                        help="run the chain without the degree-day snow store")
    args = parser.parse_args()

    record = fulda_chain.load_fulda()
    rows = latin_hypercube(args.samples, args.seed, args.snow)
    job = make_job(record, args.reservoir, args.snow)
    head = rows[: min(args.serial, len(rows))]

    start = time.perf_counter()
    serial = run_serial(head, job)
    serial_rate = len(head) / (time.perf_counter() - start)
    print(f"serial: {len(head)} runs, {serial_rate:.1f} runs per second")

    if args.threads:
        batch = args.batch or max(1, math.ceil(len(rows) / (8 * args.threads)))
        label = f"threads: {args.threads} threads"
        start = time.perf_counter()
        results = run_threads(rows, job, batch, args.threads)
        seconds = time.perf_counter() - start
    else:
        client = connect(args.scheduler, args.workers)
        try:
            prepare_workers(client)
            workers = len(client.scheduler_info()["workers"])
            batch = args.batch or max(1, math.ceil(len(rows) / (8 * workers)))
            label = f"dask: {workers} workers at {client.scheduler.address}"
            start = time.perf_counter()
            results = run_dask(client, rows, job, batch)
            seconds = time.perf_counter() - start
        finally:
            client.close()
    rate = len(rows) / seconds
    print(f"{label}: {len(rows)} runs in batches of {batch}, {seconds:.1f} s, "
          f"{rate:.1f} runs per second, {rate / serial_rate:.2f} x serial")
    same = bits(results[: len(head)]) == bits(serial)
    print(f"first {len(head)} runs equal to the serial runs bit for bit: "
          f"{'yes' if same else 'NO'}")
    report(rows, results, args.snow, args.reservoir, args.best)


if __name__ == "__main__":
    main()
