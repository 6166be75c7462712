"""GR4J and HBV calibrated and validated on real daily records, one command, offline after the
first run.

    python benchmarks/catchments.py [--evaluations N] [--figure PATH]

The records are the three catchments shipped as data files in the holmes-hydro 3.5.0 wheel on
PyPI (Leaf River: P, E0, Q in mm/day; Au Saumon and Baskatong: the same and T, with their
elevation bands and mean annual snowfall). The wheel is fetched once with `pip download --no-deps`
into a cache ($VESPARIL_DATA_CACHE, by default ~/.cache/vesparil-data) and the CSV files are read
from the archive: nothing is copied into the repository, and none of the wheel's code is run.

For each catchment and model: one year of warm-up, calibration on the next part up to two thirds
of the record, validation on the last third (the model run over the whole record, scored on the
last third only). Calibration maximises KGE with a seeded dynamically dimensioned search (Tolson
and Shoemaker 2007). Models: GR4J fed by CemaNeige where the record has a temperature (by GR4J
alone on Leaf River), and HBV (whose own snow routine sees T; on Leaf River, without T, it runs at
a constant 10 deg C, so without snow). Days without an observed flow are left out of the scores.
"""

import argparse
import csv
import io
import math
import os
import random
import statistics
import subprocess
import sys
import time
import zipfile
from pathlib import Path

import numpy as np

import vesparil

WHEEL = "holmes_hydro-3.5.0-py3-none-any.whl"
CATCHMENTS = ["Leaf", "Au Saumon", "Baskatong"]
GR4J_RANGES = [(10.0, 1500.0), (-8.0, 5.0), (10.0, 500.0), (0.5, 5.0)]
CEMANEIGE_RANGES = [(0.0, 10.0), (0.0, 1.0)]
HBV_RANGES = [(-2.5, 2.5), (0.5, 10.0), (0.5, 1.5), (0.0, 0.1), (0.0, 0.2), (50.0, 700.0),
              (0.3, 1.0), (1.0, 6.0), (0.0, 4.0), (0.0, 100.0), (0.05, 0.5), (0.01, 0.4),
              (0.001, 0.15), (1.0, 7.0)]
# Published medians of validation scores on large samples, for comparison.
PUBLISHED = ("GR4J on 100 French catchments: NSE 0.84, KGE 0.82-0.84; SAC-SMA on CAMELS-US: "
             "NSE 0.60; HBV upper bound on CAMELS-US: NSE 0.68")


def wheel_path():
    cache = Path(os.environ.get("VESPARIL_DATA_CACHE", Path.home() / ".cache" / "vesparil-data"))
    path = cache / WHEEL
    if not path.exists():
        cache.mkdir(parents=True, exist_ok=True)
        subprocess.run([sys.executable, "-m", "pip", "download", "--no-deps", "--quiet",
                        "holmes-hydro==3.5.0", "-d", str(cache)], check=True)
    return path


def read_catchment(archive, name):
    rows = list(csv.DictReader(io.StringIO(
        archive.read(f"holmes/data/{name}_Observations.csv").decode())))
    column = lambda key: np.array([float(r[key]) if r[key] not in ("", "nan") else math.nan
                                   for r in rows])
    record = {"name": name, "P": column("P"), "E": column("E0"), "Q": column("Qo"),
              "dates": [r["Date"] for r in rows]}
    record["T"] = column("T") if "T" in rows[0] else None
    info = f"holmes/data/{name}_CemaNeigeInfo.csv"
    if info in archive.namelist():
        pairs = dict(line.split(",", 1) for line in archive.read(info).decode().split("\n")
                     if "," in line)
        record["bands"] = [float(z) for z in pairs["AltiBand"].split(";")]
        record["median"] = float(pairs["Z50"])
        record["snowfall"] = float(pairs["QNBV"])
    return record


def gr4j_flow(record, x, days):
    p, e = record["P"][:days], record["E"][:days]
    if record["T"] is not None:
        kf, ctg = x[4:6]
        p = np.asarray(vesparil.snow.run_cemaneige(
            p, record["T"][:days], kf, ctg, record["snowfall"], record["bands"],
            record["median"]).liquid_water)
    return vesparil.lumped.run_gr4j(p, e, *x[:4], warmup=365).flow


def hbv_flow(record, x, days):
    t = record["T"][:days] if record["T"] is not None else np.full(days, 10.0)
    return vesparil.lumped.run_hbv(record["P"][:days], t, record["E"][:days], *x,
                                   warmup=365).flow


def scores(sim, obs):
    sim, obs = np.asarray(sim), np.asarray(obs)
    seen = ~np.isnan(obs)
    sim, obs = sim[seen], obs[seen]
    kge = vesparil.metrics.calculate_kge(sim, obs)
    nse = 1.0 - float(np.sum((sim - obs) ** 2) / np.sum((obs - obs.mean()) ** 2))
    return kge, nse, float(sim.sum() / obs.sum())


def dds(objective, ranges, evaluations, seed):
    """Dynamically dimensioned search: perturb a shrinking random subset of the best point."""
    rng = random.Random(seed)
    best = [rng.uniform(lo, hi) for lo, hi in ranges]
    best_value = objective(best)
    for i in range(1, evaluations):
        share = 1.0 - math.log(i) / math.log(evaluations)
        chosen = [d for d in range(len(ranges)) if rng.random() < share] or \
            [rng.randrange(len(ranges))]
        trial = list(best)
        for d in chosen:
            lo, hi = ranges[d]
            value = trial[d] + 0.2 * (hi - lo) * rng.gauss(0.0, 1.0)
            if value < lo:
                value = min(hi, lo + (lo - value))
            if value > hi:
                value = max(lo, hi - (value - hi))
            trial[d] = value
        value = objective(trial)
        if value <= best_value:
            best, best_value = trial, value
    return best


def evaluate(record, model, evaluations, seed):
    days = len(record["P"])
    split = 365 + (days - 365) * 2 // 3
    ranges = GR4J_RANGES + (CEMANEIGE_RANGES if record["T"] is not None else [])
    flow = gr4j_flow
    if model == "HBV":
        ranges, flow = HBV_RANGES, hbv_flow
    observed = record["Q"]

    def loss(x):
        kge = scores(flow(record, x, split), observed[365:split])[0]
        return 1.0 - kge if math.isfinite(kge) else math.inf

    start = time.perf_counter()
    best = dds(loss, ranges, evaluations, seed)
    rate = evaluations / (time.perf_counter() - start)
    full = flow(record, best, days)
    calibration = scores(full[:split - 365], observed[365:split])
    validation = scores(full[split - 365:], observed[split:])
    return {"calibration": calibration, "validation": validation, "rate": rate, "flow": full,
            "split": split, "parameters": best}


def figure(results, records, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, axes = plt.subplots(len(records), 1, figsize=(10, 2.6 * len(records)))
    for axis, record in zip(np.atleast_1d(axes), records):
        first = results[(record["name"], "GR4J")]["split"]
        year = slice(first, first + 365)
        axis.plot(record["Q"][year], color="black", lw=1.0, label="observed")
        for model, color in (("GR4J", "tab:blue"), ("HBV", "tab:orange")):
            flow = np.asarray(results[(record["name"], model)]["flow"])
            axis.plot(flow[first - 365:first], color=color, lw=0.9, label=model)
        axis.set_title(f"{record['name']}: first validation year from {record['dates'][first]}",
                       fontsize=9)
        axis.set_ylabel("mm/day")
        axis.legend(fontsize=7, loc="upper right")
    fig.tight_layout()
    fig.savefig(path, dpi=90)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--evaluations", type=int, default=2000)
    parser.add_argument("--figure", help="write observed and simulated flow here (PNG)")
    options = parser.parse_args()
    with zipfile.ZipFile(wheel_path()) as archive:
        records = [read_catchment(archive, name) for name in CATCHMENTS]
    results = {}
    print(f"{'catchment':<11} {'model':<6} {'KGE cal':>8} {'NSE cal':>8} {'KGE val':>8} "
          f"{'NSE val':>8} {'volume':>7} {'evals/s':>8}")
    for record in records:
        for seed, model in enumerate(("GR4J", "HBV")):
            result = evaluate(record, model, options.evaluations, seed + 1)
            results[(record["name"], model)] = result
            (kc, nc, _), (kv, nv, volume) = result["calibration"], result["validation"]
            label = model + ("+CN" if model == "GR4J" and record["T"] is not None else "")
            print(f"{record['name']:<11} {label:<6} {kc:8.3f} {nc:8.3f} {kv:8.3f} {nv:8.3f} "
                  f"{volume:7.3f} {result['rate']:8.0f}", flush=True)
    for model in ("GR4J", "HBV"):
        kge = statistics.median(results[(r["name"], model)]["validation"][0] for r in records)
        nse = statistics.median(results[(r["name"], model)]["validation"][1] for r in records)
        print(f"median validation {model}: KGE {kge:.3f}, NSE {nse:.3f}")
    print(f"published medians: {PUBLISHED}")
    if options.figure:
        figure(results, records, options.figure)


if __name__ == "__main__":
    main()
