"""A 24-hour design storm on a 3,000-acre basin, from gross rainfall to reservoir releases.

    gross rainfall -> deficit-and-constant loss -> excess -> Clark unit hydrograph (direct runoff)
                                                -> loss   -> linear-reservoir baseflow
    direct runoff + baseflow -> Muskingum reach (4 sub-reaches)
                             -> level pool reservoir: gated conduit, spillway, fish-pass release

Prints the peak, time of peak and volume of every stage with its mass balance, and draws
storm_event.png: the hyetograph split into loss and excess, the hydrographs, and the reservoir
elevation with each outlet's release.

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

from vesparil import baseflow, rainfall_loss, rainfall_transform, reach, reservoir, utils

ContinuousTimeSeries = utils.ContinuousTimeSeries
IncrementalTimeSeries = utils.IncrementalTimeSeries
outlets = reservoir.reservoir_utils

STEP = timedelta(minutes=15)
STEP_S = 900.0
STEP_H = 0.25
STORM_HOURS = 24
RUN_HOURS = 72
AREA_ACRES = 3000.0
STORM_DEPTH_IN = 6.0
FT3_PER_ACRE_FT = 43560.0

# Basin and channel
TC = timedelta(hours=4)  # Clark time of concentration
STORAGE_R = timedelta(hours=1)  # Clark storage coefficient
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


def depth_volume(depth_in: Sequence[float]) -> float:
    """Volume (acre-ft) of a depth (in) spread over the whole basin."""
    return sum(depth_in) * AREA_ACRES / 12.0


def peak(flow: Sequence[float]) -> tuple[float, float]:
    """Largest value and its time in hours from the start of the storm."""
    index = max(range(len(flow)), key=flow.__getitem__)
    return flow[index], index * STEP_H


def main(figure_path: str) -> None:
    steps = round(RUN_HOURS / STEP_H)
    storm = design_storm(STORM_DEPTH_IN, STORM_HOURS, STEP_H)
    # The dry hours after the storm let the hydrographs recede; they also hold the unit
    # hydrograph's tail, so every stage can be cut to the same `steps` values below.
    gross = IncrementalTimeSeries(storm + [0.0] * (steps - len(storm)), STEP, "rainfall")

    # 1. Loss: each step's rain first pays 0.12 in/h of constant infiltration, then fills the
    #    soil deficit (1.0 in now, 2.5 in when dry); the rest is excess.
    split = rainfall_loss.run_deficit_and_constant(
        gross, initial_deficit=1.0, max_deficit=2.5, constant_loss_per_hr=0.12,
        time_to_dry=timedelta(days=5),
    )
    excess, loss = split.excess, split.loss

    # 2. Direct runoff. The result is longer than the rain by the unit hydrograph's length less
    # one step; with the dry tail above, the values past `steps` are all zero.
    direct = rainfall_transform.run_clark_uh(excess, AREA_ACRES, TC, STORAGE_R).data[:steps]

    # 3. Baseflow: part of the infiltrated water drains through two groundwater layers.
    layers = {
        "shallow": baseflow.LinearReservoir(timedelta(hours=36), 0.3, 2.0),
        "deep": baseflow.LinearReservoir(timedelta(days=10), 0.2, 6.0),
    }
    base_total, base_layers = baseflow.run_linear_reservoir(AREA_ACRES, loss, layers)
    # Value t is the flow at the end of step t; with the starting flow in front, index i is the
    # flow at i steps from the start, like the runoff's.
    base = [sum(layer.initial_q for layer in layers.values())] + base_total.data[:-1]

    # 4. The channel to the reservoir.
    streamflow = [q + b for q, b in zip(direct, base, strict=True)]
    reach_in = ContinuousTimeSeries(streamflow, STEP, "discharge")
    routed = reach.run_muskingum_routing(reach_in, REACH_K, REACH_X, SUB_REACHES, streamflow[0])
    reservoir_in = routed.data

    # 5. The reservoir. Its curve: surface area 20 acres at elevation 900 ft growing 4 acres per
    # foot, so storage(h) = 20 h + 2 h^2 acre-ft at h ft above 900.
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
    # The results have one value fewer than the inflow, and the first inflow interval never
    # enters the balance: repeating the first value makes result index i the state at time i
    # and lets the whole hydrograph in.
    pool = reservoir.run_level_pool_routing(
        ContinuousTimeSeries([reservoir_in[0]] + reservoir_in, STEP, "discharge"),
        POOL_ELEVATION_FT, curve, releases,
    )
    storage = pool.reservoir_storage.data
    elevation = pool.reservoir_elevation.data
    outflow = pool.reservoir_total_outflow.data
    by_outlet = pool.reservoir_individual_outflows

    # Mass balances, in acre-feet.
    gross_v, excess_v, loss_v = (depth_volume(s.data) for s in (gross, excess, loss))
    direct_v = trapezoid_volume(direct, STEP_S)
    fed_v = sum(depth_volume(loss.data) * layer.gw_fraction for layer in layers.values())
    # A linear reservoir stores S = K Q, and its outflow is averaged over each step.
    base_stored_v, base_released_v = 0.0, 0.0
    for name, layer in layers.items():
        q = [layer.initial_q] + base_layers[name].data
        k_s = layer.k_duration.total_seconds()
        base_released_v += trapezoid_volume(q, STEP_S)
        base_stored_v += k_s * (q[-1] - q[0]) / FT3_PER_ACRE_FT
    reach_in_v, reach_out_v = trapezoid_volume(streamflow, STEP_S), trapezoid_volume(reservoir_in,
                                                                                      STEP_S)
    # Water held in the reach, K (x I + (1 - x) O), exact for one sub-reach and close for four.
    k_reach_s = REACH_K.total_seconds()
    reach_stored_v = k_reach_s * (
        REACH_X * (streamflow[-1] - streamflow[0])
        + (1.0 - REACH_X) * (reservoir_in[-1] - reservoir_in[0])
    ) / FT3_PER_ACRE_FT
    pool_out_v = trapezoid_volume(outflow, STEP_S)
    pool_stored_v = (storage[-1] - storage[0]) / FT3_PER_ACRE_FT

    rows: list[tuple[str, Sequence[float] | None, float, str]] = [
        ("gross rainfall", None, gross_v, f"{sum(gross.data):.2f} in over {AREA_ACRES:,.0f} acres"),
        ("loss (infiltration)", None, loss_v, ""),
        ("excess rainfall", None, excess_v,
         f"gross - excess - loss = {gross_v - excess_v - loss_v:+.3f}"),
        ("direct runoff (Clark)", direct, direct_v,
         f"{direct_v / excess_v:.0%} of excess: unit hydrograph cut at tc, docs/clark.md"),
        ("baseflow, both layers", base, base_released_v,
         f"fed {fed_v:.1f} - out - stored {base_stored_v:.1f} = "
         f"{fed_v - base_released_v - base_stored_v:+.3f}"),
        ("reach inflow", streamflow, reach_in_v, ""),
        ("reach outflow", reservoir_in, reach_out_v,
         f"in - out - stored {reach_stored_v:.1f} = "
         f"{reach_in_v - reach_out_v - reach_stored_v:+.3f}"),
        ("reservoir outflow", outflow, pool_out_v,
         f"in - out - stored {pool_stored_v:.1f} = "
         f"{reach_out_v - pool_out_v - pool_stored_v:+.3f}"),
    ]
    rows += [(f"  {name}", series.data, trapezoid_volume(series.data, STEP_S), "")
             for name, series in sorted(by_outlet.items())]

    print(f"24-hour design storm of {STORM_DEPTH_IN} in on {AREA_ACRES:,.0f} acres, "
          f"{RUN_HOURS} hours at 15-minute steps")
    print(f"{'stage':<24}{'peak cfs':>10}{'at hour':>9}{'acre-ft':>10}  mass balance (acre-ft)")
    for label, flow, volume, balance in rows:
        if flow is None:
            print(f"{label:<24}{'':>10}{'':>9}{volume:>10.1f}  {balance}")
        else:
            top, when = peak(flow)
            print(f"{label:<24}{top:>10.1f}{when:>9.2f}{volume:>10.1f}  {balance}")
    top_elevation, top_hour = peak(elevation)
    print(f"reservoir: {POOL_ELEVATION_FT:.1f} ft at the start, peak {top_elevation:.2f} ft at "
          f"hour {top_hour:.2f}, {elevation[-1]:.2f} ft at the end "
          f"(spillway crest {SPILLWAY_CREST_FT:.0f} ft)")

    draw(figure_path, gross.data, excess.data, direct, base, reservoir_in, outflow, elevation,
         {name: series.data for name, series in by_outlet.items()})
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
    rain_ax.set_title("24-hour design storm on a 3,000-acre basin")

    flow_ax.plot(hours, direct, label="direct runoff (Clark, unit hydrograph cut at tc)")
    flow_ax.plot(hours, base, label="baseflow")
    flow_ax.plot(hours, routed, label="reach outflow = reservoir inflow")
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
