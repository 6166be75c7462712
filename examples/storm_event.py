"""A 24-hour design storm on a 3,000-acre basin, from gross rainfall to reservoir releases.

The basin model (vesparil.basin) has two sub-basins, a reach and a reservoir:

    north (2,000 acres) -> channel (Muskingum, 4 sub-reaches) -> reservoir
    south (1,000 acres) ---------------------------------------> reservoir
    each sub-basin: deficit-and-constant loss -> excess -> Clark unit hydrograph (direct runoff)
                                              -> loss   -> linear-reservoir baseflow
    reservoir: level pool with a gated conduit, a spillway and a fish-pass release

Prints the basin's summary (peak, time of peak, volumes in and out per element) and the mass
balance of each stage, and draws storm_event.png: the hyetograph split into loss and excess, the
hydrographs, and the reservoir elevation with each outlet's release.

    python3 -m pip install '.[examples]'
    python3 examples/storm_event.py [path/to/figure.png]

Units: inches of rain per 15-minute step, cfs, feet, acre-feet (1 acre-foot = 43,560 ft3).
"""

import math
import sys
from collections.abc import Sequence
from datetime import timedelta

import matplotlib

matplotlib.use("Agg")  # draw to a file; no display needed
import matplotlib.pyplot as plt

from vesparil import baseflow, basin, reservoir

outlets = reservoir.reservoir_utils

STEP = timedelta(minutes=15)
STEP_S = 900.0
STEP_H = 0.25
STORM_HOURS = 24
RUN_HOURS = 72
AREAS_ACRES = {"north": 2000.0, "south": 1000.0}
AREA_ACRES = sum(AREAS_ACRES.values())
STORM_DEPTH_IN = 6.0
FT3_PER_ACRE_FT = 43560.0

# Sub-basins and channel: Clark time of concentration and storage coefficient of each
CLARK = {"north": (timedelta(hours=4), timedelta(hours=1)),
         "south": (timedelta(hours=2), timedelta(hours=1))}
# One groundwater layer per sub-basin, fed by 40 % of the loss: K and the starting flow (cfs)
GROUNDWATER = {"north": (timedelta(hours=36), 4.0), "south": (timedelta(hours=36), 2.0)}
GROUNDWATER_SHARE = 0.4
REACH_K = timedelta(hours=2)  # Muskingum storage constant of the whole reach
REACH_X = 0.2
# Each sub-reach of K/4 = 30 min keeps the step inside 2Kx <= dt <= 2K(1 - x): 12 <= 15 <= 48
# minutes, so the routed flow cannot go negative.
SUB_REACHES = 4

# Reservoir
POOL_ELEVATION_FT = 912.0  # water level when the storm begins
SPILLWAY_CREST_FT = 915.0
SPILLWAY_LENGTH_FT = 30.0
WEIR_COEFFICIENT = 3.0  # Q = C L H^1.5, cfs with L and H in feet


def design_storm(total_in: float, hours: int, step_h: float) -> list[float]:
    """Rain per step (in) of an alternating-block storm built from a depth-duration curve.

    The depth falling in the most intense d hours is proportional to d / (d + b)^c (an intensity
    of a / (d + b)^c), scaled to `total_in` over `hours`. The increments of that curve are placed
    alternately right and left of the middle step, largest first, so the storm peaks at
    mid-duration.
    """
    b, c = 0.25, 0.75

    def depth(d: float) -> float:
        return total_in * (d / math.pow(d + b, c)) / (hours / math.pow(hours + b, c))

    steps = round(hours / step_h)
    blocks = [depth((k + 1) * step_h) - depth(k * step_h) for k in range(steps)]
    storm = [0.0] * steps
    middle = (steps - 1) // 2
    for k, block in enumerate(blocks):
        offset = (k + 1) // 2
        storm[middle + offset if k % 2 else middle - offset] = block
    return storm


def trapezoid_volume(flow_cfs: Sequence[float], step_s: float) -> float:
    """Volume (acre-ft) of a flow sampled every step_s seconds, by the trapezoidal rule."""
    if len(flow_cfs) < 2:
        return 0.0
    inner = sum(flow_cfs[1:-1])
    return (inner + 0.5 * (flow_cfs[0] + flow_cfs[-1])) * step_s / FT3_PER_ACRE_FT


def depth_volume(depth_in: Sequence[float], area_acres: float) -> float:
    """Volume (acre-ft) of a depth (in) spread over `area_acres`."""
    return sum(depth_in) * area_acres / 12.0


def peak(flow: Sequence[float]) -> tuple[float, float]:
    """Largest value and its time in hours from the start of the storm."""
    index = max(range(len(flow)), key=flow.__getitem__)
    return flow[index], index * STEP_H


def storm_basin() -> basin.Basin:
    model = basin.Basin(STEP)
    # Each step's rain first pays 0.12 in/h of constant infiltration, then fills the soil deficit
    # (1.0 in now, 2.5 in when dry); the rest is excess.
    loss = basin.DeficitAndConstant(1.0, 2.5, 0.12, timedelta(days=5))
    for name, downstream in (("north", "channel"), ("south", "reservoir")):
        k, initial = GROUNDWATER[name]
        model.add_subbasin(name, AREAS_ACRES[name], loss, basin.Clark(*CLARK[name]),
                           {"groundwater": baseflow.LinearReservoir(k, GROUNDWATER_SHARE, initial)},
                           downstream)
    model.add_reach("channel", basin.Muskingum(REACH_K, REACH_X, SUB_REACHES), "reservoir")
    # The reservoir's curve: surface area 20 acres at elevation 900 ft growing 4 acres per foot,
    # so storage(h) = 20 h + 2 h^2 acre-ft at h ft above 900.
    heads = [2.0 * i for i in range(16)]
    curve = outlets.ElevationStorage(
        [900.0 + h for h in heads], [(20.0 * h + 2.0 * h * h) * FT3_PER_ACRE_FT for h in heads]
    )
    weir_heads = [0.5 * i for i in range(31)]
    releases = {
        # Flood gate: opens above 913 ft, conduit rating up to the top of the dam, at most 45 cfs.
        "conduit": outlets.ControlledDischargeInfo(
            outlets.ElevationDischarge([913.0, 915.0, 920.0, 925.0, 930.0],
                                       [0.0, 40.0, 100.0, 140.0, 170.0]),
            maximum_release=45.0,
        ),
        "spillway": outlets.UnControlledDischargeInfo(
            outlets.ElevationDischarge(
                [SPILLWAY_CREST_FT + h for h in weir_heads],
                [WEIR_COEFFICIENT * SPILLWAY_LENGTH_FT * h**1.5 for h in weir_heads],
            )
        ),
        # A fixed release for fish, shut off if the pool falls below the fish-pass sill.
        "fish pass": outlets.ConstantDischargeInfo(8.0, minimum_elevation=908.0),
    }
    model.add_reservoir("reservoir", basin.LevelPool(curve, releases, POOL_ELEVATION_FT))
    return model


def main(figure_path: str) -> None:
    steps = round(RUN_HOURS / STEP_H)
    storm = design_storm(STORM_DEPTH_IN, STORM_HOURS, STEP_H)
    # The dry hours after the storm let the hydrographs recede; they also hold the unit
    # hydrograph's tail, which a basin cuts at the end of its time axis.
    gross = storm + [0.0] * (steps - len(storm))
    run = storm_basin().run({"north": gross, "south": gross})
    sub = {name: run[name].series for name in AREAS_ACRES}
    routed, south = run["channel"].outflow.data, run["south"].outflow.data
    reservoir_in = [c + s for c, s in zip(routed, south, strict=True)]
    pool = run["reservoir"].series
    storage, elevation = pool["storage"].data, pool["elevation"].data
    outflow = run["reservoir"].outflow.data
    by_outlet = {name: pool[name].data for name in ("conduit", "spillway", "fish pass")}

    print(f"24-hour design storm of {STORM_DEPTH_IN} in on {AREA_ACRES:,.0f} acres, "
          f"{RUN_HOURS} hours at 15-minute steps")
    print(f"{'element':<12}{'peak cfs':>10}{'at hour':>9}{'in acre-ft':>12}{'out acre-ft':>13}"
          f"{'in - out':>10}")
    for name, row in run.summary().items():
        print(f"{name:<12}{row['peak']:>10.1f}{row['time_of_peak'] / timedelta(hours=1):>9.2f}"
              f"{row['volume_in']:>12.1f}{row['volume_out']:>13.1f}{row['balance']:>10.1f}")

    # Mass balances, in acre-feet, of each stage over the 72 hours.
    gross_v = depth_volume(gross, AREA_ACRES)
    excess_v = sum(depth_volume(sub[n]["excess"].data, a) for n, a in AREAS_ACRES.items())
    loss_v = sum(depth_volume(sub[n]["loss"].data, a) for n, a in AREAS_ACRES.items())
    direct_v = sum(trapezoid_volume(sub[n]["direct"].data, STEP_S) for n in AREAS_ACRES)
    fed_v = GROUNDWATER_SHARE * loss_v
    # A linear reservoir stores S = K Q, and its outflow is averaged over each step.
    base_out_v = sum(trapezoid_volume(sub[n]["baseflow"].data, STEP_S) for n in AREAS_ACRES)
    base_stored_v = sum(k.total_seconds() * (sub[n]["baseflow"].data[-1] - q0) / FT3_PER_ACRE_FT
                        for n, (k, q0) in GROUNDWATER.items())
    north = run["north"].outflow.data
    reach_in_v, reach_out_v = trapezoid_volume(north, STEP_S), trapezoid_volume(routed, STEP_S)
    # Water held in the reach, K (x I + (1 - x) O), exact for one sub-reach and close for four.
    reach_stored_v = REACH_K.total_seconds() * (
        REACH_X * (north[-1] - north[0]) + (1.0 - REACH_X) * (routed[-1] - routed[0])
    ) / FT3_PER_ACRE_FT
    pool_in_v, pool_out_v = trapezoid_volume(reservoir_in, STEP_S), trapezoid_volume(outflow, STEP_S)
    pool_stored_v = (storage[-1] - storage[0]) / FT3_PER_ACRE_FT
    print("mass balances (acre-ft):")
    print(f"  loss       gross {gross_v:.1f} - excess {excess_v:.1f} - loss {loss_v:.1f} = "
          f"{gross_v - excess_v - loss_v:+.3f}")
    print(f"  runoff     direct runoff {direct_v:.1f}, {direct_v / excess_v:.0%} of the excess: "
          "unit hydrograph cut at tc, docs/clark.md")
    print(f"  baseflow   fed {fed_v:.1f} - out {base_out_v:.1f} - stored {base_stored_v:.1f} = "
          f"{fed_v - base_out_v - base_stored_v:+.3f}")
    print(f"  reach      in {reach_in_v:.1f} - out {reach_out_v:.1f} - stored {reach_stored_v:.1f} = "
          f"{reach_in_v - reach_out_v - reach_stored_v:+.3f}")
    print(f"  reservoir  in {pool_in_v:.1f} - out {pool_out_v:.1f} - stored {pool_stored_v:.1f} = "
          f"{pool_in_v - pool_out_v - pool_stored_v:+.3f}")
    top_elevation, top_hour = peak(elevation)
    print(f"reservoir: {POOL_ELEVATION_FT:.1f} ft at the start, peak {top_elevation:.2f} ft at "
          f"hour {top_hour:.2f}, {elevation[-1]:.2f} ft at the end "
          f"(spillway crest {SPILLWAY_CREST_FT:.0f} ft)")

    # Basin-wide depths and flows for the figure: the sub-basins' weighted by area, summed.
    excess = [sum(sub[n]["excess"].data[i] * a for n, a in AREAS_ACRES.items()) / AREA_ACRES
              for i in range(steps)]
    direct = [sum(values) for values in zip(*(sub[n]["direct"].data for n in AREAS_ACRES))]
    base = [sum(values) for values in zip(*(sub[n]["baseflow"].data for n in AREAS_ACRES))]
    draw(figure_path, gross, excess, direct, base, reservoir_in, outflow, elevation, by_outlet)
    print(f"figure written to {figure_path}")


def draw(path: str, gross: list[float], excess: list[float], direct: list[float],
         base: list[float], routed: list[float], outflow: list[float], elevation: list[float],
         by_outlet: dict[str, list[float]]) -> None:
    hours = [i * STEP_H for i in range(len(direct))]
    fig, (rain_ax, flow_ax, pool_ax, releases_ax) = plt.subplots(
        4, 1, figsize=(9.0, 11.5), sharex=True,
        gridspec_kw={"height_ratios": [1.0, 1.6, 1.2, 1.2]},
    )

    # Hyetograph: each bar is one step's rain as an intensity, split into loss and excess.
    rate = [g / STEP_H for g in gross]
    excess_rate = [e / STEP_H for e in excess]
    loss_rate = [r - e for r, e in zip(rate, excess_rate, strict=True)]
    starts = [i * STEP_H for i in range(len(gross))]
    rain_ax.bar(starts, loss_rate, width=STEP_H, align="edge", color="tan", label="loss")
    rain_ax.bar(starts, excess_rate, width=STEP_H, align="edge", bottom=loss_rate,
                color="steelblue", label="excess")
    rain_ax.set_ylabel("rainfall (in/h)")
    rain_ax.invert_yaxis()
    rain_ax.legend(loc="lower right")
    rain_ax.set_title("24-hour design storm on a 3,000-acre basin of two sub-basins")

    flow_ax.plot(hours, direct, label="direct runoff (Clark, unit hydrograph cut at tc)")
    flow_ax.plot(hours, base, label="baseflow")
    flow_ax.plot(hours, routed, label="reservoir inflow (channel + south)")
    flow_ax.plot(hours, outflow, label="reservoir outflow", color="black")
    flow_ax.set_ylabel("discharge (cfs)")
    flow_ax.legend(loc="upper right")
    flow_ax.grid(alpha=0.3)

    pool_ax.plot(hours, elevation, color="navy", label="water level")
    pool_ax.axhline(SPILLWAY_CREST_FT, color="navy", linestyle=":", label="spillway crest")
    pool_ax.set_ylabel("reservoir elevation (ft)")
    pool_ax.legend(loc="upper right")
    pool_ax.grid(alpha=0.3)

    # The releases are discharges: a panel of their own, on a cfs axis.
    for name, flow in sorted(by_outlet.items()):
        releases_ax.plot(hours, flow, label=f"{name} release")
    releases_ax.set_ylabel("outlet release (cfs)")
    releases_ax.set_xlabel("time since the storm began (h)")
    releases_ax.legend(loc="upper right")
    releases_ax.grid(alpha=0.3)
    releases_ax.set_xlim(0.0, hours[-1])

    fig.tight_layout()
    fig.savefig(path, dpi=110)
    plt.close(fig)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "storm_event.png")
