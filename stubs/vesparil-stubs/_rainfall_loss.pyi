# vesparil.rainfall_loss: the deficit-and-constant, SCS curve-number and Green-Ampt loss models.
from datetime import timedelta
from typing import SupportsIndex

from vesparil._types import FloatLike
from vesparil._utils import IncrementalTimeSeries

__all__ = [
    "DeficitConstantResult",
    "run_deficit_and_constant",
    "CurveNumberResult",
    "run_curve_number",
    "GreenAmptResult",
    "run_green_ampt",
]

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

class CurveNumberResult:
    """Excess and loss, in inches per time step; not constructible."""

    @property
    def excess(self) -> IncrementalTimeSeries: ...
    @property
    def loss(self) -> IncrementalTimeSeries: ...

def run_curve_number(
    rainfall: IncrementalTimeSeries,
    curve_number: FloatLike,
    initial_abstraction_ratio: FloatLike = 0.2,
    antecedent_moisture: SupportsIndex = 2,
) -> CurveNumberResult:
    """Splits one event's rainfall (in per step) by the SCS curve number (AMC II, run for 1-3)."""

class GreenAmptResult:
    """Excess and infiltration, in inches per time step; not constructible."""

    @property
    def excess(self) -> IncrementalTimeSeries: ...
    @property
    def loss(self) -> IncrementalTimeSeries: ...

def run_green_ampt(
    rainfall: IncrementalTimeSeries,
    hydraulic_conductivity: FloatLike,
    suction_head: FloatLike,
    moisture_deficit: FloatLike,
    initial_infiltration: FloatLike = 0.0,
) -> GreenAmptResult:
    """Splits rainfall (in per step) by Green-Ampt infiltration (K in/h, suction head in)."""
