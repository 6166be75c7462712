# vesparil.metrics: the Kling-Gupta efficiency.
from vesparil._types import FloatVector

__all__ = ["calculate_kge"]

def calculate_kge(sim: FloatVector, obs: FloatVector, use_log: bool = False) -> float:
    """Kling-Gupta efficiency of `sim` against `obs` (1 is a perfect match).

    NaN in, NaN out; constant observations give a huge negative score; `use_log` takes
    ln(x + 1e-6) of both series first.
    """
