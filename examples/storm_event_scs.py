"""The 24-hour design storm of storm_event.py on the same basin, run twice: with the basin of
that example (deficit-and-constant loss, Clark unit hydrograph) and with the event methods of the
engineering manuals (SCS curve number, SCS unit hydrograph, storage-indication reservoir routing).
Both go through the same Muskingum reach and reservoir; prints their tables side by side.

    python3 examples/storm_event_scs.py

The SCS unit hydrograph keeps the whole excess, where Clark's stops at tc (docs/clark.md); its
last line reads 0.999997 rather than 1 because the module's 1.00833 cfs per acre-inch per hour is
3.3 millionths under the exact ratio.
"""

import os
import sys
from datetime import timedelta
from typing import Any

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from storm_event import (  # noqa: E402  (the storm, the basin and the reservoir of that example)
    AREA_ACRES, CLARK, POOL_ELEVATION_FT, REACH_K, REACH_X, RUN_HOURS, SPILLWAY_CREST_FT,
    SPILLWAY_LENGTH_FT, STEP, STEP_H, STEP_S, STORM_DEPTH_IN, STORM_HOURS, SUB_REACHES,
    WEIR_COEFFICIENT, FT3_PER_ACRE_FT, depth_volume, design_storm, peak, trapezoid_volume)

from vesparil import rainfall_loss, rainfall_transform, reach, reservoir, utils  # noqa: E402

ContinuousTimeSeries = utils.ContinuousTimeSeries
IncrementalTimeSeries = utils.IncrementalTimeSeries
outlets = reservoir.reservoir_utils

# The whole basin as one, with the Clark parameters of its larger, northern sub-basin.
TC, STORAGE_R = CLARK["north"]
CURVE_NUMBER = 75.0  # AMC II, open land on soil group C
LAG = 0.6 * TC  # SCS lag from the time of concentration (NEH 630 ch. 15)


def pond() -> tuple[Any, dict[str, Any]]:
    heads = [2.0 * i for i in range(16)]
    curve = outlets.ElevationStorage(
        [900.0 + h for h in heads], [(20.0 * h + 2.0 * h * h) * FT3_PER_ACRE_FT for h in heads])
    weir = [0.5 * i for i in range(31)]
    releases = {
        "conduit": outlets.ControlledDischargeInfo(
            outlets.ElevationDischarge([913.0, 915.0, 920.0, 925.0, 930.0],
                                       [0.0, 40.0, 100.0, 140.0, 170.0]), maximum_release=45.0),
        "spillway": outlets.UnControlledDischargeInfo(outlets.ElevationDischarge(
            [SPILLWAY_CREST_FT + h for h in weir],
            [WEIR_COEFFICIENT * SPILLWAY_LENGTH_FT * h**1.5 for h in weir])),
        "fish pass": outlets.ConstantDischargeInfo(8.0, minimum_elevation=908.0),
    }
    return curve, releases


def basin(gross: IncrementalTimeSeries, steps: int,
          manuals: bool) -> tuple[list[float], ...]:
    """Excess, direct runoff, reservoir inflow and the pool's outflow and elevation."""
    if manuals:
        excess = rainfall_loss.run_curve_number(gross, CURVE_NUMBER).excess
        direct = rainfall_transform.run_scs_uh(excess, AREA_ACRES, LAG).data[:steps]
    else:
        excess = rainfall_loss.run_deficit_and_constant(gross, 1.0, 2.5, 0.12,
                                                       timedelta(days=5)).excess
        direct = rainfall_transform.run_clark_uh(excess, AREA_ACRES, TC, STORAGE_R).data[:steps]
    inflow = ContinuousTimeSeries(direct, STEP, "discharge")
    routed = reach.run_muskingum_routing(inflow, REACH_K, REACH_X, SUB_REACHES, direct[0]).data
    curve, releases = pond()
    if manuals:
        pool = reservoir.run_storage_indication_routing(
            ContinuousTimeSeries(routed, STEP, "discharge"), POOL_ELEVATION_FT, curve, releases)
    else:
        pool = reservoir.run_level_pool_routing(
            ContinuousTimeSeries([routed[0]] + routed, STEP, "discharge"), POOL_ELEVATION_FT,
            curve, releases)
    return (excess.data, direct, routed, pool.reservoir_total_outflow.data,
            pool.reservoir_elevation.data)


def main() -> None:
    steps = round(RUN_HOURS / STEP_H)
    storm = design_storm(STORM_DEPTH_IN, STORM_HOURS, STEP_H)
    gross = IncrementalTimeSeries(storm + [0.0] * (steps - len(storm)), STEP, "rainfall")
    runs = [basin(gross, steps, manuals) for manuals in (False, True)]
    print(f"24-hour design storm of {STORM_DEPTH_IN} in on {AREA_ACRES:,.0f} acres; direct runoff "
          "only (no baseflow)")
    print(f"{'stage':<22}{'deficit-constant + Clark':>34}{'curve number + SCS UH':>34}")
    print(f"{'':<22}" + f"{'peak cfs':>12}{'at hour':>9}{'acre-ft':>13}" * 2)
    labels = ["excess rainfall", "direct runoff", "reservoir inflow", "reservoir outflow"]
    for k, label in enumerate(labels):
        cells = ""
        for run in runs:
            if k == 0:
                cells += f"{'':>12}{'':>9}{depth_volume(run[0], AREA_ACRES):>13.1f}"
            else:
                top, when = peak(run[k])
                cells += f"{top:>12.1f}{when:>9.2f}{trapezoid_volume(run[k], STEP_S):>13.1f}"
        print(f"{label:<22}{cells}")
    tops = [peak(run[4])[0] for run in runs]
    print(f"{'peak elevation (ft)':<22}{tops[0]:>34.2f}{tops[1]:>34.2f}")
    share = trapezoid_volume(runs[1][1], STEP_S) / depth_volume(runs[1][0], AREA_ACRES)
    print(f"SCS direct runoff / excess = {share:.6f} (Clark: "
          f"{trapezoid_volume(runs[0][1], STEP_S) / depth_volume(runs[0][0], AREA_ACRES):.2f})")


if __name__ == "__main__":
    main()
