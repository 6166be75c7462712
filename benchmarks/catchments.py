"""GR4J, HBV and the event chain calibrated and validated on fourteen real daily records, through
`Basin.run_batch`, each calibration repeated with several seeds; one command, offline after the
first run.

    python benchmarks/catchments.py [--evaluations N] [--seeds N] [--figure PATH]

The records (see catchment_data.py and catchment_records.py for the archives, units, areas and
PET): Leaf River, Au Saumon and Baskatong; the Lahn at four gauges (Dill at Asslar, Lahn at
Marburg, Leun and Kalkofen), built as one basin; the Fulda; spotpy's small example catchment;
grsuite's two test basins; and lumod's three examples. Twelve basins are independent: Leun and
Kalkofen are gauges downstream of the Dill and Marburg.

For each catchment, model and seed: 365 days of warm-up, calibration from there up to
WARMUP + (days - WARMUP) * 2 // 3, validation on the rest (the model runs over the whole record
and is scored on the window only; days without an observed flow are left out). Calibration
maximises KGE with a seeded, batched dynamically dimensioned search through `run_batch`
(catchment_models.py). The table gives each score's median over the seeds and the range of the
validation KGE; the summary takes, for each seed, the median over catchments (all fourteen, and
the twelve independent ones) and gives the median and the range of those.

Models: GR4J, behind a CemaNeige snow store where the record has a temperature; HBV (at a
constant 10 deg C without one, so without snow); and the event chain, deficit-and-constant loss
+ Clark unit hydrograph + two linear-reservoir baseflow layers, behind the basin's daily front
(CemaNeige's liquid water less the day's PET, floored at 0).

The Lahn: Marburg and Asslar flow through Muskingum reaches into Leun, whose local area joins
them there; Leun flows through a reach into Kalkofen, with Kalkofen's local area. Calibrated
step by step: the headwaters on their own gauges; then Leun's local sub-basin and the two
reaches into it on the Leun gauge, the headwaters fixed (their simulated flows enter as
sources); then Kalkofen's local sub-basin and its reach. The scores at every gauge come from
one run of the whole basin with all the calibrated values.
"""

from __future__ import annotations

import argparse
import statistics
import sys
import time
from datetime import timedelta
from pathlib import Path

import numpy as np

sys.path.insert(0, str(Path(__file__).resolve().parent))

import catchment_data as data  # noqa: E402
import catchment_models as models  # noqa: E402
from vesparil import basin  # noqa: E402

MODELS = ("GR4J", "HBV", "Event")
DAY = timedelta(days=1)
LABELS = {"Leaf": "Leaf", "Au Saumon": "Au Saumon", "Baskatong": "Baskatong",
          "dill_assl": "Dill (Asslar)", "lahn_marb": "Lahn (Marburg)",
          "lahn_leun": "Lahn (Leun)", "lahn_kalk": "Lahn (Kalkofen)", "Fulda": "Fulda",
          "spotpy small": "spotpy small", "basin_daily": "grsuite daily",
          "basin_snow": "grsuite snow", "lumod 1": "Tamaulipas", "lumod 2": "Saraquipi",
          "lumod 3": "Girnock"}
NESTED = ("lahn_leun", "lahn_kalk")  # downstream of the Dill and Marburg: not independent
# Published medians of validation scores on large samples, for comparison.
PUBLISHED = ("GR4J on 100 French catchments: NSE 0.84, KGE 0.82-0.84; SAC-SMA on CAMELS-US: "
             "NSE 0.60; HBV upper bound on CAMELS-US: NSE 0.68")


def lone(record, model, evaluations, seed, sub="catchment"):
    """A one-sub-basin basin calibrated on its own gauge."""
    calibration, _ = models.windows(record.days)
    b = basin.Basin(time_step=DAY)
    entry, group = models.add_model(model, b, sub, record, record.area_acres,
                                    lowest_flow=float(np.nanmin(record.observed)))
    space = models.Space([group])
    forcing = {sub: entry}
    row, _, rate, seconds = timed(models.calibrate, b, space, forcing, record.observed,
                                  calibration, evaluations, seed)
    flow = b.with_parameters(list(row), space.columns).run(forcing)[sub].outflow.data
    return {"row": list(row), "columns": space.columns, "flow": np.array(flow), "rate": rate,
            "seconds": seconds}


def timed(calibrate, *args):
    start = time.perf_counter()
    row, value, rate = calibrate(*args)
    return row, value, rate, time.perf_counter() - start


def lahn_basin(model, records):
    """The Lahn from Asslar and Marburg to Kalkofen; returns the basin and its forcing."""
    dill, marb, leun, kalk = (records[g] for g in data.LAHN_GAUGES)
    b = basin.Basin(time_step=DAY)
    forcing = {}
    for record, reach in ((dill, "dill_to_leun"), (marb, "marb_to_leun")):
        forcing[record.name], _ = models.add_model(
            model, b, record.name, record, record.area_acres, downstream=reach,
            lowest_flow=float(np.nanmin(record.observed)))
        b.add_reach(reach, basin.Muskingum(k=timedelta(hours=12), x=0.1), downstream="lahn_leun")
    forcing["leun_local"], _ = models.add_model(model, b, "leun_local", leun, leun.area_acres,
                                                downstream="lahn_leun")
    b.add_junction("lahn_leun", downstream="leun_to_kalk")
    b.add_reach("leun_to_kalk", basin.Muskingum(k=timedelta(hours=12), x=0.1),
                downstream="lahn_kalk")
    forcing["kalk_local"], _ = models.add_model(model, b, "kalk_local", kalk, kalk.area_acres,
                                                downstream="lahn_kalk")
    b.add_junction("lahn_kalk")
    return b, forcing


def local_step(model, record, sources, reaches, junction, sub, evaluations, seed):
    """Upstream flows (fixed) through reaches into a junction with a local sub-basin."""
    calibration, _ = models.windows(record.days)
    b = basin.Basin(time_step=DAY)
    forcing = {}
    for (source, flow), reach in zip(sources.items(), reaches):
        b.add_source(source, downstream=reach)
        b.add_reach(reach, basin.Muskingum(k=timedelta(hours=12), x=0.1), downstream=junction)
        forcing[source] = flow
    entry, group = models.add_model(model, b, sub, record, record.area_acres,
                                    downstream=junction)
    b.add_junction(junction)
    forcing[sub] = entry
    space = models.Space([group] + [models.reach_group(r) for r in reaches])
    row, _, rate, seconds = timed(models.calibrate, b, space, forcing, record.observed,
                                  calibration, evaluations, seed, junction)
    flow = b.with_parameters(list(row), space.columns).run(forcing)[junction].outflow.data
    return {"row": list(row), "columns": space.columns, "flow": np.array(flow), "rate": rate,
            "seconds": seconds}


def lahn(model, records, evaluations, seed):
    """Stepwise calibration, then one run of the whole basin; results per gauge."""
    dill, marb, leun, kalk = (records[g] for g in data.LAHN_GAUGES)
    steps = {r.name: lone(r, model, evaluations, seed, sub=r.name) for r in (dill, marb)}
    steps[leun.name] = local_step(
        model, leun, {"dill_in": steps[dill.name]["flow"], "marb_in": steps[marb.name]["flow"]},
        ["dill_to_leun", "marb_to_leun"], "lahn_leun", "leun_local", evaluations, seed)
    steps[kalk.name] = local_step(
        model, kalk, {"leun_in": steps[leun.name]["flow"]}, ["leun_to_kalk"], "lahn_kalk",
        "kalk_local", evaluations, seed)
    whole, forcing = lahn_basin(model, records)
    columns = [c for s in steps.values() for c in s["columns"]]
    values = [v for s in steps.values() for v in s["row"]]
    run = whole.with_parameters(values, columns).run(forcing)
    for name, step in steps.items():
        # The whole basin repeats the steps' runs to the last bit (the same operations).
        assert np.array_equal(step["flow"], run[name].outflow.data), name
    return steps


def evaluate(records, evaluations, seeds):
    """{(record name, model, seed): result}, every result with its scores."""
    results = {}
    lahn_records = {r.name: r for r in records if r.name in data.LAHN_GAUGES}
    for seed in range(1, seeds + 1):
        for model in MODELS:
            for record in records:
                if record.name not in lahn_records:
                    results[(record.name, model, seed)] = lone(record, model, evaluations, seed)
            for name, step in lahn(model, lahn_records, evaluations, seed).items():
                results[(name, model, seed)] = step
    for record in records:
        calibration, valid = models.windows(record.days)
        for model in MODELS:
            for seed in range(1, seeds + 1):
                result = results[(record.name, model, seed)]
                result["scores"] = (models.scores(result["flow"], record.observed, calibration)[:2]
                                    + models.scores(result["flow"], record.observed, valid))
    return results


def label(record, model):
    if model == "GR4J":
        return "GR4J + CemaNeige" if models.cemaneige(record) is not None else "GR4J"
    return "Event chain" if model == "Event" else "HBV"


def area_text(record):
    if record.area_acres == data.UNIT_AREA_ACRES:
        return "not needed (mm/day)"
    return f"{record.area_acres * data.SQUARE_METRES_PER_ACRE / 1e6:,.4g} km²"


def num(x):
    """Three decimals with a true minus sign, as the guide's tables print them."""
    return f"{x:.3f}".replace("-", "−")


def median_seed(results, name, model, seeds):
    """The seed whose validation KGE is the median of the seeds' (the lower middle one)."""
    ranked = sorted(range(1, seeds + 1), key=lambda s: results[(name, model, s)]["scores"][2])
    return ranked[(seeds - 1) // 2]


def report(records, results, seeds):
    print("| Catchment | Area | Source |\n|---|---|---|")
    for record in records:
        print(f"| {LABELS[record.name]} | {area_text(record)} | {record.source} |")
    lahn_km2 = sum(r.area_acres for r in records if r.name in data.LAHN_GAUGES)
    print(f"\nThe Lahn's four areas: {lahn_km2 * data.SQUARE_METRES_PER_ACRE / 1e6:,.1f} km² "
          f"at Kalkofen ({data.KALKOFEN_KM2:,.0f} km² published)\n")
    print("| Catchment | Model | KGE cal | NSE cal | KGE val | KGE val, range over seeds | NSE val "
          "| volume ratio val | evaluations/s | calibration s |\n" + "|---" * 10 + "|")
    per_seed = {}  # (model, seed) -> [(name, KGE val, NSE val)]
    medians = {m: [] for m in MODELS}  # model -> [(name, median KGE val over the seeds)]
    for record in records:
        for model in MODELS:
            runs = [results[(record.name, model, s)] for s in range(1, seeds + 1)]
            for seed, run in enumerate(runs, start=1):
                per_seed.setdefault((model, seed), []).append((record.name, *run["scores"][2:4]))
            kc, nc, kv, nv, volume = (statistics.median(r["scores"][i] for r in runs)
                                      for i in range(5))
            medians[model].append((record.name, kv))
            kges = [r["scores"][2] for r in runs]
            rate = statistics.mean(r["rate"] for r in runs)
            seconds = statistics.mean(r["seconds"] for r in runs)
            print(f"| {LABELS[record.name]} | {label(record, model)} | {num(kc)} | {num(nc)} | "
                  f"{num(kv)} | {num(min(kges))}–{num(max(kges))} | {num(nv)} | {num(volume)} | "
                  f"{rate:.0f} | {seconds:.1f} |", flush=True)
    print(f"\n| Median over catchments, median (range) over {seeds} seeds | KGE val, all 14 "
          "| NSE val, all 14 | KGE val, 12 independent | NSE val, 12 independent | lowest KGE |"
          "\n" + "|---" * 6 + "|")
    for model in MODELS:
        cells = []
        for keep in (lambda n: True, lambda n: n not in NESTED):
            for column in (1, 2):
                spread = [statistics.median(row[column] for row in per_seed[(model, s)]
                                            if keep(row[0])) for s in range(1, seeds + 1)]
                cells.append(f"{num(statistics.median(spread))} "
                             f"({num(min(spread))}–{num(max(spread))})")
        name, worst = min(medians[model], key=lambda row: row[1])
        print(f"| {model} | " + " | ".join(cells) + f" | {num(worst)} ({LABELS[name]}) |")
    print(f"\npublished medians: {PUBLISHED}")


def figure(records, results, seeds, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, axes = plt.subplots(5, 3, figsize=(15, 17))
    colours = {"GR4J": "tab:blue", "HBV": "tab:orange", "Event": "tab:green"}
    for axis in axes.flat[len(records):]:
        axis.set_visible(False)
    for axis, record in zip(axes.flat, records):
        _, valid = models.windows(record.days)
        year = slice(valid.start, valid.start + 365)
        if record.area_acres == data.UNIT_AREA_ACRES:
            factor, unit = 1.0, "mm/day"
        elif record.name == "spotpy small":
            factor, unit = data.CUBIC_METRES_PER_CUBIC_FOOT * 1000.0, "l/s"
        else:
            factor, unit = data.CUBIC_METRES_PER_CUBIC_FOOT, "m³/s"
        days = record.dates[year]
        axis.plot(days, record.observed[year] * factor, color="black", lw=1.0, label="observed")
        for model in MODELS:
            seed = median_seed(results, record.name, model, seeds)
            result = results[(record.name, model, seed)]
            axis.plot(days, result["flow"][year] * factor, color=colours[model], lw=0.8,
                      label=f"{label(record, model)} (KGE val {result['scores'][2]:.2f})")
        axis.set_title(f"{LABELS[record.name]}: first validation year from {days[0]}", fontsize=9)
        axis.set_ylabel(unit)
        axis.tick_params(labelsize=7)
        axis.legend(fontsize=6, loc="upper right")
    fig.tight_layout()
    fig.savefig(path, dpi=80)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--evaluations", type=int, default=2000,
                        help="model runs per calibration (per Lahn step)")
    parser.add_argument("--seeds", type=int, default=3,
                        help="calibrations per catchment and model, seeded 1, 2, ...")
    parser.add_argument("--figure", help="write observed and simulated flow here (PNG), for "
                        "each model the run of the median seed")
    options = parser.parse_args()
    start = time.perf_counter()
    records = data.load_all()
    results = evaluate(records, options.evaluations, options.seeds)
    report(records, results, options.seeds)
    if options.figure:
        figure(records, results, options.seeds, options.figure)
    print(f"\n{time.perf_counter() - start:.0f} s in all")


if __name__ == "__main__":
    main()
