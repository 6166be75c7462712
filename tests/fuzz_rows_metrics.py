"""Fuzz rows of the metrics."""

import array

from hypothesis import strategies as st

import vesparil
from fuzz_arguments import (Written, bools, ensembles, missing_words, out_arguments, out_buffers,
                            paired_series, scored_ensembles, vectors)
from fuzz_calls import Call, Set, constructs, getters, is_float, p
from fuzz_instances import optional_floats
from fuzz_values import texts


def scores(value, target):
    return (type(value) in (float, Written, array.array) or
            (type(value) is list and all(type(item) is float for item in value)))


def kge_components(value, target):
    kind = vesparil.metrics.KgeComponents
    return type(value) is kind or (type(value) is list and all(type(v) is kind for v in value))


KGE = [
    Call("calculate_kge", st.just(vesparil.metrics.calculate_kge),
         [p("sim", vectors), p("obs", vectors), p("use_log", bools, False)],
         lambda r, t: type(r) is float, joint=paired_series()),
]

SCORES = [
    Call("calculate_nse", st.just(vesparil.metrics.calculate_nse),
         [p("sim", st.one_of(vectors, ensembles)), p("obs", vectors),
          p("use_log", bools, False), p("epsilon", optional_floats, False, keyword_only=True),
          p("missing", missing_words, False, keyword_only=True),
          p("out", out_arguments, False, keyword_only=True)], scores,
         joint=scored_ensembles([bools, st.none(), missing_words, out_buffers(2)])),
    Call("calculate_kge_components", st.just(vesparil.metrics.calculate_kge_components),
         [p("sim", st.one_of(vectors, ensembles)), p("obs", vectors),
          p("variant", st.one_of(st.sampled_from(["2009", "2012"]), texts), False,
            keyword_only=True),
          p("missing", missing_words, False, keyword_only=True)], kge_components,
         joint=scored_ensembles([st.sampled_from(["2009", "2012"]), missing_words])),
    *(Call(name, st.just(getattr(vesparil.metrics, name)),
           [p("sim", st.one_of(vectors, ensembles)), p("obs", vectors),
            p("missing", missing_words, False, keyword_only=True),
            p("out", out_arguments, False, keyword_only=True)], scores,
           joint=scored_ensembles([missing_words, out_buffers(2)]))
      for name in ("calculate_pbias", "calculate_rmse", "calculate_mae", "calculate_pearson_r")),
    Call("KgeComponents()", st.just(vesparil.metrics.KgeComponents), [], constructs),
    *getters("KgeComponents", st.just(vesparil.metrics.calculate_kge_components([1.0, 2.0],
                                                                                [2.0, 1.5])),
             {"kge": is_float, "r": is_float, "variability": is_float, "bias": is_float}),
    Set("KgeComponents read-only =", st.just(vesparil.metrics.calculate_kge_components(
        [1.0, 2.0], [2.0, 1.5])), ["kge", "r", "variability", "bias"]),
]
