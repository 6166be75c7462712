"""GR4J, HBV and the event chain calibrated and validated on nine real daily records, through
`Basin.run_batch`; one command, offline after the first run.

    python benchmarks/catchments.py [--evaluations N] [--figure PATH]

The records (see catchment_data.py for the archives, units, areas and PET): Leaf River, Au
Saumon and Baskatong; the Lahn at four gauges (Dill at Asslar, Lahn at Marburg, Leun and
Kalkofen), built as one basin; the Fulda; and spotpy's small example catchment.

For each catchment and model: one year of warm-up, calibration on the record up to two thirds,
validation on the last third (the model runs over the whole record and is scored on the window
only; days without an observed flow are left out). Calibration maximises KGE with a seeded,
batched dynamically dimensioned search through `run_batch` (catchment_models.py).

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
          "spotpy small": "spotpy small"}
# Published medians of validation scores on large samples, for comparison.
PUBLISHED = ("GR4J on 100 French catchments: NSE 0.84, KGE 0.82-0.84; SAC-SMA on CAMELS-US: "
             "NSE 0.60; HBV upper bound on CAMELS-US: NSE 0.68")


def geometric_mean(bounds):
    return float(np.sqrt(bounds[0] * bounds[1]))


def lone(record, model, evaluations, seed, sub=None, bounds=None):
    """A one-sub-basin basin calibrated on its own gauge."""
    sub = sub or "catchment"
    calibration, _ = models.windows(record.days)
    b = basin.Basin(time_step=DAY)
    bounds = bounds or data.area_bounds(record, calibration)
    area = record.area_acres or geometric_mean(bounds)
    entry, group = models.add_model(model, b, sub, record, area,
                                    lowest_flow=float(np.nanmin(record.observed)))
    groups = [group] + ([models.area_group(sub, bounds)] if record.area_acres is None else [])
    space = models.Space(groups)
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


def lahn_basin(model, records, areas, downstream_of=None):
    """The Lahn from Asslar and Marburg to Kalkofen; returns the basin and its forcing."""
    dill, marb, leun, kalk = (records[g] for g in data.LAHN_GAUGES)
    b = basin.Basin(time_step=DAY)
    forcing = {}
    for record, reach in ((dill, "dill_to_leun"), (marb, "marb_to_leun")):
        forcing[record.name], _ = models.add_model(
            model, b, record.name, record, areas[record.name], downstream=reach,
            lowest_flow=float(np.nanmin(record.observed)))
        b.add_reach(reach, basin.Muskingum(k=timedelta(hours=12), x=0.1), downstream="lahn_leun")
    forcing["leun_local"], _ = models.add_model(model, b, "leun_local", leun,
                                                areas["leun_local"], downstream="lahn_leun")
    b.add_junction("lahn_leun", downstream="leun_to_kalk")
    b.add_reach("leun_to_kalk", basin.Muskingum(k=timedelta(hours=12), x=0.1),
                downstream="lahn_kalk")
    forcing["kalk_local"], _ = models.add_model(model, b, "kalk_local", kalk,
                                                areas["kalk_local"], downstream="lahn_kalk")
    b.add_junction("lahn_kalk")
    return b, forcing


def local_step(model, record, sources, reaches, junction, sub, area_bounds, area, evaluations,
               seed):
    """Upstream flows (fixed) through reaches into a junction with a local sub-basin."""
    calibration, _ = models.windows(record.days)
    b = basin.Basin(time_step=DAY)
    forcing = {}
    for (source, flow), reach in zip(sources.items(), reaches):
        b.add_source(source, downstream=reach)
        b.add_reach(reach, basin.Muskingum(k=timedelta(hours=12), x=0.1), downstream=junction)
        forcing[source] = flow
    entry, group = models.add_model(model, b, sub, record,
                                    area or geometric_mean(area_bounds), downstream=junction)
    b.add_junction(junction)
    forcing[sub] = entry
    groups = [group] + ([models.area_group(sub, area_bounds)] if area is None else [])
    space = models.Space(groups + [models.reach_group(r) for r in reaches])
    row, _, rate, seconds = timed(models.calibrate, b, space, forcing, record.observed,
                                  calibration, evaluations, seed, junction)
    flow = b.with_parameters(list(row), space.columns).run(forcing)[junction].outflow.data
    return {"row": list(row), "columns": space.columns, "flow": np.array(flow), "rate": rate,
            "seconds": seconds}


def lahn(model, records, evaluations, seed):
    """Stepwise calibration, then one run of the whole basin; results per gauge."""
    dill, marb, leun, kalk = (records[g] for g in data.LAHN_GAUGES)
    calibration, _ = models.windows(leun.days)
    total = data.KALKOFEN_KM2 * 1.0e6 / data.SQUARE_METRES_PER_ACRE
    # Each unknown area lies between runoff ratios 1 and 0.1 of its own (local) flow, and
    # all four must fit in Kalkofen's published area: an area's upper bound leaves the others
    # at least their ratio-1 areas.
    bounds = {dill.name: data.area_bounds(dill, calibration),
              marb.name: data.area_bounds(marb, calibration),
              "leun_local": data.area_bounds(
                  leun, calibration, leun.observed - dill.observed - marb.observed),
              "kalk_local": data.area_bounds(kalk, calibration, kalk.observed - leun.observed)}
    least = sum(low for low, _ in bounds.values())
    capped = lambda name, room: (bounds[name][0], min(bounds[name][1], room))
    steps = {r.name: lone(r, model, evaluations, seed, sub=r.name,
                          bounds=capped(r.name, total - least + bounds[r.name][0]))
             for r in (dill, marb)}
    area = lambda step, sub: dict(zip(step["columns"], step["row"]))[f"{sub}.subbasin.area"]
    upstream = area(steps[dill.name], dill.name) + area(steps[marb.name], marb.name)
    steps[leun.name] = local_step(
        model, leun, {"dill_in": steps[dill.name]["flow"], "marb_in": steps[marb.name]["flow"]},
        ["dill_to_leun", "marb_to_leun"], "lahn_leun", "leun_local",
        capped("leun_local", total - upstream - bounds["kalk_local"][0]), None, evaluations,
        seed)
    areas = {dill.name: area(steps[dill.name], dill.name),
             marb.name: area(steps[marb.name], marb.name),
             "leun_local": area(steps[leun.name], "leun_local")}
    areas["kalk_local"] = total - sum(areas.values())
    steps[kalk.name] = local_step(
        model, kalk, {"leun_in": steps[leun.name]["flow"]}, ["leun_to_kalk"], "lahn_kalk",
        "kalk_local", None, areas["kalk_local"], evaluations, seed)
    whole, forcing = lahn_basin(model, records, areas)
    columns = [c for s in steps.values() for c in s["columns"]]
    values = [v for s in steps.values() for v in s["row"]]
    run = whole.with_parameters(values, columns).run(forcing)
    for name, step in steps.items():
        # The whole basin repeats the steps' runs to the last bit (the same operations).
        assert np.array_equal(step["flow"], run[name].outflow.data), name
    steps["areas"] = areas
    return steps


def evaluate(records, evaluations):
    results = {}
    lahn_records = {r.name: r for r in records if r.name in data.LAHN_GAUGES}
    for seed, model in enumerate(MODELS, start=1):
        for record in records:
            if record.name not in lahn_records:
                results[(record.name, model)] = lone(record, model, evaluations, seed)
        for name, step in lahn(model, lahn_records, evaluations, seed).items():
            if name != "areas":
                results[(name, model)] = step
            else:
                results[("areas", model)] = step
    return results


def label(record, model):
    if model == "GR4J":
        return "GR4J+CN" if record.temperature is not None else "GR4J"
    return "Event" if model == "Event" else "HBV"


def report(records, results):
    header = (f"{'catchment':<16} {'model':<9} {'KGE cal':>7} {'NSE cal':>7} {'KGE val':>7} "
              f"{'NSE val':>7} {'vol val':>7} {'evals/s':>7} {'cal s':>5}")
    print(header)
    validation = {m: [] for m in MODELS}
    for record in records:
        calibration, valid = models.windows(record.days)
        for model in MODELS:
            result = results[(record.name, model)]
            kc, nc, _ = models.scores(result["flow"], record.observed, calibration)
            kv, nv, volume = models.scores(result["flow"], record.observed, valid)
            result["scores"] = (kc, nc, kv, nv, volume)
            validation[model].append((kv, nv))
            print(f"{LABELS[record.name]:<16} {label(record, model):<9} {kc:7.3f} {nc:7.3f} "
                  f"{kv:7.3f} {nv:7.3f} {volume:7.3f} {result['rate']:7.0f} "
                  f"{result['seconds']:5.1f}", flush=True)
    for model in MODELS:
        kge = statistics.median(k for k, _ in validation[model])
        nse = statistics.median(n for _, n in validation[model])
        worst = min(k for k, _ in validation[model])
        print(f"median validation {model}: KGE {kge:.3f}, NSE {nse:.3f} (lowest KGE {worst:.3f})")
    print(f"published medians: {PUBLISHED}")
    for model in MODELS:
        areas = results[("areas", model)]
        print(f"Lahn {model} areas (km2): " + ", ".join(
            f"{k} {v * data.SQUARE_METRES_PER_ACRE / 1e6:.0f}" for k, v in areas.items()))
    for model in MODELS:
        row = results[("spotpy small", model)]
        area = dict(zip(row["columns"], row["row"]))["catchment.subbasin.area"]
        print(f"spotpy small {model} calibrated area: "
              f"{area * data.SQUARE_METRES_PER_ACRE / 1e6:.2f} km2")


def figure(records, results, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, axes = plt.subplots(3, 3, figsize=(15, 10))
    colours = {"GR4J": "tab:blue", "HBV": "tab:orange", "Event": "tab:green"}
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
            result = results[(record.name, model)]
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
    parser.add_argument("--figure", help="write observed and simulated flow here (PNG)")
    options = parser.parse_args()
    records = data.load_all()
    results = evaluate(records, options.evaluations)
    report(records, results)
    if options.figure:
        figure(records, results, options.figure)


if __name__ == "__main__":
    main()
