# vesparil.reach: Muskingum reach routing.
from datetime import timedelta
from typing import SupportsIndex

from vesparil._types import FloatLike
from vesparil._utils import ContinuousTimeSeries

__all__ = ["run_muskingum_routing"]

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
