# vesparil.rainfall_loss: the deficit-and-constant loss model.
from datetime import timedelta

from vesparil._types import FloatLike
from vesparil._utils import IncrementalTimeSeries

__all__ = ["DeficitConstantResult", "run_deficit_and_constant"]

class DeficitConstantResult:
    """Excess, loss and end-of-step deficit, in inches per time step; not constructible."""

    @property
    def excess(self) -> IncrementalTimeSeries: ...
    @property
    def loss(self) -> IncrementalTimeSeries: ...
    @property
    def deficit(self) -> IncrementalTimeSeries: ...

def run_deficit_and_constant(
    rainfall: IncrementalTimeSeries,
    initial_deficit: FloatLike,
    max_deficit: FloatLike,
    constant_loss_per_hr: FloatLike,
    time_to_dry: timedelta,
) -> DeficitConstantResult:
    """Splits gross rainfall (in per step) into excess and loss; rates in in/h, depths in in."""
