# vesparil.metrics: goodness-of-fit scores of simulated against observed series.
#
# `sim` is one series (a float is returned) or an ensemble scored member by member against one
# `obs`: a list or tuple of series, or a two-dimensional float64 array (a list is returned, or
# `out` filled). A NumPy array may be either, which its type does not tell: its result is Any.
from collections.abc import Sequence
from typing import Any, Literal, TypeAlias, TypeVar, overload

from typing_extensions import Buffer

from vesparil._types import FloatArrayLike, FloatLike, FloatVector

__all__ = [
    "calculate_kge",
    "calculate_nse",
    "calculate_kge_components",
    "KgeComponents",
    "calculate_pbias",
    "calculate_rmse",
    "calculate_mae",
    "calculate_pearson_r",
]

_Missing: TypeAlias = Literal["propagate", "omit", "raise"]
_Rows: TypeAlias = Sequence[FloatVector]
# `out`: a writable one-dimensional float64 buffer (NumPy array, array.array("d")).
_Out = TypeVar("_Out", bound=Buffer)

def calculate_kge(sim: FloatVector, obs: FloatVector, use_log: bool = False) -> float:
    """Kling-Gupta efficiency of `sim` against `obs` (1 is a perfect match).

    NaN in, NaN out; constant observations give a huge negative score; `use_log` takes
    ln(x + 1e-6) of both series first.
    """

@overload
def calculate_nse(
    sim: Sequence[FloatLike], obs: FloatVector, use_log: bool = False, *,
    epsilon: FloatLike | None = None, missing: _Missing = "propagate", out: None = None,
) -> float: ...
@overload
def calculate_nse(
    sim: _Rows | FloatArrayLike, obs: FloatVector, use_log: bool = False, *,
    epsilon: FloatLike | None = None, missing: _Missing = "propagate", out: _Out,
) -> _Out: ...
@overload
def calculate_nse(
    sim: _Rows, obs: FloatVector, use_log: bool = False, *,
    epsilon: FloatLike | None = None, missing: _Missing = "propagate", out: None = None,
) -> list[float]: ...
@overload
def calculate_nse(
    sim: FloatArrayLike, obs: FloatVector, use_log: bool = False, *,
    epsilon: FloatLike | None = None, missing: _Missing = "propagate", out: None = None,
) -> Any:
    """Nash-Sutcliffe efficiency, 1 - sum((sim - obs)²) / sum((obs - mean_obs)²).

    `use_log` scores ln(x + epsilon), epsilon by default mean_obs / 100.
    """

class KgeComponents:
    """The KGE of calculate_kge_components and its components; not constructible."""

    @property
    def kge(self) -> float: ...
    @property
    def r(self) -> float: ...
    @property
    def variability(self) -> float:
        """alpha = std_sim / std_obs (2009) or gamma, the ratio of the coefficients of
        variation (2012)."""
    @property
    def bias(self) -> float:
        """beta = mean_sim / mean_obs."""

@overload
def calculate_kge_components(
    sim: Sequence[FloatLike], obs: FloatVector, *, variant: Literal["2009", "2012"] = "2009",
    missing: _Missing = "propagate", out: None = None,
) -> KgeComponents: ...
@overload
def calculate_kge_components(
    sim: _Rows | FloatArrayLike, obs: FloatVector, *, variant: Literal["2009", "2012"] = "2009",
    missing: _Missing = "propagate", out: _Out,
) -> _Out: ...
@overload
def calculate_kge_components(
    sim: _Rows, obs: FloatVector, *, variant: Literal["2009", "2012"] = "2009",
    missing: _Missing = "propagate", out: None = None,
) -> list[KgeComponents]: ...
@overload
def calculate_kge_components(
    sim: FloatArrayLike, obs: FloatVector, *, variant: Literal["2009", "2012"] = "2009",
    missing: _Missing = "propagate", out: None = None,
) -> Any:
    """KGE (Gupta et al. 2009, or Kling et al. 2012 with variant="2012") with r, the
    variability ratio and the bias ratio; unfloored."""

@overload
def calculate_pbias(
    sim: Sequence[FloatLike], obs: FloatVector, *, missing: _Missing = "propagate",
    out: None = None,
) -> float: ...
@overload
def calculate_pbias(
    sim: _Rows | FloatArrayLike, obs: FloatVector, *, missing: _Missing = "propagate", out: _Out,
) -> _Out: ...
@overload
def calculate_pbias(
    sim: _Rows, obs: FloatVector, *, missing: _Missing = "propagate", out: None = None,
) -> list[float]: ...
@overload
def calculate_pbias(
    sim: FloatArrayLike, obs: FloatVector, *, missing: _Missing = "propagate", out: None = None,
) -> Any:
    """Percent bias, 100 * sum(sim - obs) / sum(obs): positive when sim is too high."""

@overload
def calculate_rmse(
    sim: Sequence[FloatLike], obs: FloatVector, *, missing: _Missing = "propagate",
    out: None = None,
) -> float: ...
@overload
def calculate_rmse(
    sim: _Rows | FloatArrayLike, obs: FloatVector, *, missing: _Missing = "propagate", out: _Out,
) -> _Out: ...
@overload
def calculate_rmse(
    sim: _Rows, obs: FloatVector, *, missing: _Missing = "propagate", out: None = None,
) -> list[float]: ...
@overload
def calculate_rmse(
    sim: FloatArrayLike, obs: FloatVector, *, missing: _Missing = "propagate", out: None = None,
) -> Any:
    """Root mean square error, sqrt(sum((sim - obs)²) / n), in the series' unit."""

@overload
def calculate_mae(
    sim: Sequence[FloatLike], obs: FloatVector, *, missing: _Missing = "propagate",
    out: None = None,
) -> float: ...
@overload
def calculate_mae(
    sim: _Rows | FloatArrayLike, obs: FloatVector, *, missing: _Missing = "propagate", out: _Out,
) -> _Out: ...
@overload
def calculate_mae(
    sim: _Rows, obs: FloatVector, *, missing: _Missing = "propagate", out: None = None,
) -> list[float]: ...
@overload
def calculate_mae(
    sim: FloatArrayLike, obs: FloatVector, *, missing: _Missing = "propagate", out: None = None,
) -> Any:
    """Mean absolute error, sum(|sim - obs|) / n, in the series' unit."""

@overload
def calculate_pearson_r(
    sim: Sequence[FloatLike], obs: FloatVector, *, missing: _Missing = "propagate",
    out: None = None,
) -> float: ...
@overload
def calculate_pearson_r(
    sim: _Rows | FloatArrayLike, obs: FloatVector, *, missing: _Missing = "propagate", out: _Out,
) -> _Out: ...
@overload
def calculate_pearson_r(
    sim: _Rows, obs: FloatVector, *, missing: _Missing = "propagate", out: None = None,
) -> list[float]: ...
@overload
def calculate_pearson_r(
    sim: FloatArrayLike, obs: FloatVector, *, missing: _Missing = "propagate", out: None = None,
) -> Any:
    """Pearson correlation of the two series."""
