# vesparil.reach: Muskingum and Muskingum-Cunge reach routing.
from datetime import timedelta
from typing import SupportsIndex

from vesparil._types import FloatLike
from vesparil._utils import ContinuousTimeSeries

__all__ = ["run_muskingum_routing", "run_muskingum_cunge_routing"]

def run_muskingum_routing(
    inflow: ContinuousTimeSeries,
    k: timedelta,
    x: FloatLike,
    sub_reaches: SupportsIndex,
    initial_outflow: FloatLike,
) -> ContinuousTimeSeries:
    """Routes `inflow` through a reach of storage constant `k` split into `sub_reaches`.

    Outflow has the inflow's units, length and time step. Warns (UserWarning) when `x` is
    outside [0, 0.5]; negative outflows are possible outside 2Kx <= dt <= 2K(1 - x).
    """

def run_muskingum_cunge_routing(
    inflow: ContinuousTimeSeries,
    length: FloatLike,
    slope: FloatLike,
    manning_n: FloatLike,
    bottom_width: FloatLike,
    side_slope: FloatLike = 0.0,
    reference_flow: FloatLike | None = None,
    sub_reaches: SupportsIndex | None = None,
    sub_steps: SupportsIndex | None = None,
) -> ContinuousTimeSeries:
    """Routes `inflow` (cfs) through a prismatic channel (ft, ft/ft) by Muskingum-Cunge.

    Parameters vary with the flow unless `reference_flow` fixes them; None lets the method
    choose the sub-reaches and sub-steps.
    """
