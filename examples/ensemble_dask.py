"""A Latin-hypercube ensemble of the Fulda chain as a basin, on a Dask cluster or on threads.

    python3 examples/ensemble_dask.py                               # LocalCluster, 2 processes
    python3 examples/ensemble_dask.py --scheduler tcp://host:8786   # an existing cluster
    python3 examples/ensemble_dask.py --threads 2                   # ThreadPoolExecutor instead

Needs numpy, scipy and dask[distributed]; spotpy where the record is read (this process only).

The chain is the one-sub-basin model of fulda_basin.py (the model calibrate_fulda.py --basin
calibrates). Every member simulates 1979-1988 with one set of the chain's nine parameters, is
scored by KGE on the calibration and validation years, and its simulated June 1981 flood is
routed through a planned detention reservoir: the level pool routing steps through every second
of the twelve flood days, which makes it the longest part of a member (`--no-reservoir` leaves
it out). The result: the best parameter sets, and how much the reservoir's peak release varies
among the well-scoring ones.

A batch shares its forcing, so the snow store's two parameters are fixed for the whole ensemble
(`--snow-threshold`, `--melt-factor`; by default the pair calibrate_fulda.py finds) and the
gross rain goes through it once.

Work goes out as the basin's plain-data form (`Basin.to_dict()`), the forcing and the periods,
sent to every worker once, and blocks of parameter rows (N x 9 float64 arrays), several blocks
per worker. Each task rebuilds the basin with `Basin.from_dict` and scores its block with one
`run_batch` call (fulda_basin.evaluate_block). The first `--serial` members are also done in
this process as one block: that gives the speed-up, and their results must equal the parallel
ones to the last bit. On a real cluster every worker needs vesparil and numpy installed; this
script uploads fulda_chain.py and fulda_basin.py to the workers itself.
"""

from __future__ import annotations

import argparse
import logging
import math
import statistics
import time
from collections.abc import Callable
from concurrent.futures import ThreadPoolExecutor
from typing import Any

try:
    import numpy as np
    import numpy.typing as npt
    from scipy.stats import qmc
except ImportError as missing:
    raise SystemExit(f"ensemble_dask.py needs {missing.name}: "
                     "python3 -m pip install 'vesparil[examples]'") from missing

import fulda_basin
import fulda_chain
from fulda_basin import Job

Rows = npt.NDArray[np.float64]

# The snow store's pair that calibrate_fulda.py finds (seed 1): threshold degC, mm/degC/day.
SNOW = (fulda_chain.CALIBRATED[9], fulda_chain.CALIBRATED[10])


def latin_hypercube(samples: int, seed: int, snow: bool = True) -> Rows:
    """`samples` parameter sets spread over the calibration bounds (samples x parameters)."""
    bounds = fulda_chain.bounds(snow)
    unit = qmc.LatinHypercube(d=len(bounds), seed=seed).random(samples)
    scaled: Rows = qmc.scale(unit, [b[0] for b in bounds], [b[1] for b in bounds])
    return scaled


def make_job(record: fulda_chain.FuldaRecord, reservoir: bool,
             snow: tuple[float, float] | None = SNOW) -> Job:
    return fulda_basin.job(record, snow, reservoir)


def blocks(table: Rows, size: int) -> list[Rows]:
    """Row blocks of at most `size` members; a block of rows stays C-contiguous."""
    return [table[i:i + size] for i in range(0, len(table), size)]


def run_serial(table: Rows, job: Job) -> Rows:
    return fulda_basin.evaluate_block(table, job)


def run_threads(table: Rows, job: Job, block: int, threads: int) -> Rows:
    """One run_batch call per block on a pool of threads; the batch and the level pool
    routing give up the interpreter lock, so the blocks overlap."""
    with ThreadPoolExecutor(max_workers=threads) as pool:
        return np.concatenate(list(pool.map(lambda part: fulda_basin.evaluate_block(part, job),
                                            blocks(table, block))))


def prepare_workers(client: Any) -> None:
    """Ships the task code to every worker; fulda_basin imports fulda_chain, so it goes first.

    With a LocalCluster the scheduler runs in this process and reloads both modules here too.
    """
    client.upload_file(fulda_chain.__file__)
    client.upload_file(fulda_basin.__file__)


def run_dask(client: Any, table: Rows, job: Job, block: int) -> Rows:
    """Submits one task per block; the basin and the forcing go to every worker once, up front."""
    # A list of one item, so that the job travels as one piece of data.
    [shared] = client.scatter([job], broadcast=True)
    # Looked up now, after prepare_workers: a function of the module as it was before the
    # reload is no longer the module's own, so it would be pickled by value, and with it the
    # library functions it calls, which do not pickle.
    futures = [client.submit(fulda_basin.evaluate_block, part, shared, pure=False)
               for part in blocks(table, block)]
    return np.concatenate(client.gather(futures))


def same_bits(a: Rows, b: Rows) -> bool:
    """Equal to the last bit, NaN included."""
    return a.shape == b.shape and a.tobytes() == b.tobytes()


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


def report(rows: Rows, results: Rows, reservoir: bool, best: int) -> None:
    names = [p.name for p in fulda_chain.PARAMETERS]
    # Highest calibration KGE first; runs without a score (NaN) last.
    ranked = sorted(range(len(rows)),
                    key=lambda i: (math.isnan(results[i, 0]), -results[i, 0]))
    print(f"best {best} parameter sets by calibration KGE:")
    print("   KGE cal  KGE val  vol.ratio  peak release  " + " ".join(names))
    for i in ranked[:best]:
        kge_cal, kge_val, ratio, peak = (float(v) for v in results[i])
        values = " ".join(f"{v:.4g}" for v in rows[i])
        print(f"   {kge_cal:7.4f}  {kge_val:7.4f}  {ratio:9.4f}  {peak:8.1f} m3/s  {values}")
    if reservoir:
        top = ranked[: max(1, len(ranked) // 10)]
        peaks = [float(results[i, 3]) for i in top if not math.isnan(results[i, 3])]
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
                        help="members per block, one run_batch call each "
                        "(default: eight blocks per worker)")
    parser.add_argument("--serial", type=int, default=200,
                        help="members repeated serially for the speed-up and the check")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--best", type=int, default=5)
    parser.add_argument("--no-reservoir", dest="reservoir", action="store_false",
                        help="leave out the flood routing (members become about 100 times "
                        "shorter)")
    parser.add_argument("--snow-threshold", type=float, default=SNOW[0],
                        help=f"the snow store's threshold, degC (default {SNOW[0]})")
    parser.add_argument("--melt-factor", type=float, default=SNOW[1],
                        help=f"the snow store's melt factor, mm/degC/day (default {SNOW[1]})")
    parser.add_argument("--no-snow", dest="snow", action="store_false",
                        help="run the chain without the degree-day snow store")
    args = parser.parse_args()

    record = fulda_chain.load_fulda()
    rows = latin_hypercube(args.samples, args.seed, snow=False)
    table = fulda_basin.table(rows)
    snow = (args.snow_threshold, args.melt_factor) if args.snow else None
    job = make_job(record, args.reservoir, snow)
    head = table[: min(args.serial, len(table))]

    start = time.perf_counter()
    serial = run_serial(head, job)
    serial_rate = len(head) / (time.perf_counter() - start)
    print(f"serial: {len(head)} members in one block, {serial_rate:.1f} members per second")

    if args.threads:
        block = args.batch or max(1, math.ceil(len(table) / (8 * args.threads)))
        label = f"threads: {args.threads} threads"
        start = time.perf_counter()
        results = run_threads(table, job, block, args.threads)
        seconds = time.perf_counter() - start
    else:
        client = connect(args.scheduler, args.workers)
        try:
            prepare_workers(client)
            workers = len(client.scheduler_info()["workers"])
            block = args.batch or max(1, math.ceil(len(table) / (8 * workers)))
            label = f"dask: {workers} workers at {client.scheduler.address}"
            start = time.perf_counter()
            results = run_dask(client, table, job, block)
            seconds = time.perf_counter() - start
        finally:
            client.close()
    rate = len(table) / seconds
    print(f"{label}: {len(table)} members in blocks of {block}, {seconds:.2f} s, "
          f"{rate:.1f} members per second, {rate / serial_rate:.2f} x serial")
    same = same_bits(results[: len(head)], serial)
    print(f"first {len(head)} members equal to the serial ones bit for bit: "
          f"{'yes' if same else 'NO'}")
    snow_text = (f"snow store {snow[0]:.4g} degC, {snow[1]:.4g} mm/degC/day" if snow
                 else "no snow store")
    print(f"({snow_text})")
    report(rows, results, args.reservoir, args.best)


if __name__ == "__main__":
    main()
