"""The 24-hour design storm of storm_event.py on the same basin, run twice: the basin of that
example (deficit-and-constant loss, Clark unit hydrograph, level pool reservoir) and the same
network built of the event methods of the engineering manuals (SCS curve number, SCS unit
hydrograph, storage-indication reservoir routing). Both keep that example's groundwater layers
and its Muskingum reach; prints their summaries side by side.

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
    AREAS_ACRES, CLARK, GROUNDWATER, GROUNDWATER_SHARE, POOL_ELEVATION_FT, REACH_K, REACH_X,
    RUN_HOURS, SPILLWAY_CREST_FT, SPILLWAY_LENGTH_FT, STEP, STEP_H, STEP_S, STORM_DEPTH_IN,
    STORM_HOURS, SUB_REACHES, WEIR_COEFFICIENT, FT3_PER_ACRE_FT, depth_volume, design_storm, peak,
    storm_basin, trapezoid_volume)

from vesparil import baseflow, basin, reservoir  # noqa: E402

outlets = reservoir.reservoir_utils

CURVE_NUMBER = 75.0  # AMC II, open land on soil group C
LAG_SHARE = 0.6  # SCS lag as a share of the time of concentration (NEH 630 ch. 15)


def pond() -> tuple[Any, dict[str, Any]]:
    """The reservoir of storm_event.py: its curve and its three outlets."""
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


def manuals_basin() -> basin.Basin:
    """storm_event.py's network with the manuals' loss, transform and reservoir methods."""
    model = basin.Basin(STEP)
    for name, downstream in (("north", "channel"), ("south", "reservoir")):
        k, initial = GROUNDWATER[name]
        model.add_subbasin(name, AREAS_ACRES[name], basin.CurveNumber(CURVE_NUMBER),
                           basin.ScsUnitHydrograph(LAG_SHARE * CLARK[name][0]),
                           {"groundwater": baseflow.LinearReservoir(k, GROUNDWATER_SHARE, initial)},
                           downstream)
    model.add_reach("channel", basin.Muskingum(REACH_K, REACH_X, SUB_REACHES), "reservoir")
    curve, releases = pond()
    model.add_reservoir("reservoir",
                        basin.StorageIndication(curve, releases, POOL_ELEVATION_FT))
    return model


def main() -> None:
    steps = round(RUN_HOURS / STEP_H)
    storm = design_storm(STORM_DEPTH_IN, STORM_HOURS, STEP_H)
    gross = storm + [0.0] * (steps - len(storm))
    forcing = {"north": gross, "south": gross}
    runs = [storm_basin().run(forcing), manuals_basin().run(forcing)]
    print(f"24-hour design storm of {STORM_DEPTH_IN} in on {sum(AREAS_ACRES.values()):,.0f} acres, "
          f"{RUN_HOURS} hours at 15-minute steps")
    print(f"{'element':<12}{'deficit-constant, Clark, level pool':>36}"
          f"{'curve number, SCS UH, storage ind.':>36}")
    print(f"{'':<12}" + f"{'peak cfs':>12}{'at hour':>10}{'out acre-ft':>14}" * 2)
    summaries = [run.summary() for run in runs]
    for name in runs[0].names:
        cells = ""
        for summary in summaries:
            row = summary[name]
            cells += (f"{row['peak']:>12.1f}{row['time_of_peak'] / timedelta(hours=1):>10.2f}"
                      f"{row['volume_out']:>14.1f}")
        print(f"{name:<12}{cells}")
    tops = [peak(run["reservoir"].series["elevation"].data)[0] for run in runs]
    print(f"{'peak elevation (ft)':<22}{tops[0]:>26.2f}{tops[1]:>36.2f}")
    shares = []
    for run in runs:
        excess = sum(depth_volume(run[n].series["excess"].data, a) for n, a in AREAS_ACRES.items())
        direct = sum(trapezoid_volume(run[n].series["direct"].data, STEP_S) for n in AREAS_ACRES)
        shares.append(direct / excess)
    print(f"SCS direct runoff / excess = {shares[1]:.6f} (Clark: {shares[0]:.2f})")


if __name__ == "__main__":
    main()
