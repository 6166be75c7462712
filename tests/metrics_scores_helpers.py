"""The table of scores and the helpers shared by the score test files."""

import math

import numpy as np

from vesparil import metrics

NAN = math.nan


def bits(values):
    return np.asarray(values, dtype=np.float64).view(np.uint64).tolist()


def components(result):
    return [result.kge, result.r, result.variability, result.bias]


# name -> call returning a list of floats (the four components for the KGE).
SCORES = {
    "nse": lambda s, o, **kw: [metrics.calculate_nse(s, o, **kw)],
    "log_nse": lambda s, o, **kw: [metrics.calculate_nse(s, o, True, **kw)],
    "kge_2009": lambda s, o, **kw: components(metrics.calculate_kge_components(s, o, **kw)),
    "kge_2012": lambda s, o, **kw: components(
        metrics.calculate_kge_components(s, o, variant="2012", **kw)),
    "pbias": lambda s, o, **kw: [metrics.calculate_pbias(s, o, **kw)],
    "rmse": lambda s, o, **kw: [metrics.calculate_rmse(s, o, **kw)],
    "mae": lambda s, o, **kw: [metrics.calculate_mae(s, o, **kw)],
    "pearson_r": lambda s, o, **kw: [metrics.calculate_pearson_r(s, o, **kw)],
}
