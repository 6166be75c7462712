"""Checks shared by the basin's test files."""

import numpy as np

import vesparil


def assert_members_equal_single_runs(model, forcing, names, table):
    """run_batch over `table` (members x columns `names`), scored by NSE at 'north', the outlet:
    every member's outflow and score are those of a single run with its values. Returns the
    members' outflows."""
    observed = np.array(model.run(forcing)["north"].outflow.data) * 1.1 + 0.5
    scores, rows = model.run_batch(table, names, forcing, observed, metric="nse", threads=2,
                                   outflows=True)
    for member, values in enumerate(table):
        single = model.with_parameters(list(values), names).run(forcing)["north"].outflow.data
        assert rows[member].tolist() == single
        assert scores[member] == vesparil.metrics.calculate_nse(single, observed)
    return rows


def assert_batch_equals_single_runs(model, forcing, columns, seed, members):
    """The check above over a seeded table of `columns` ({name: (low, high)})."""
    names = list(columns)
    low, high = zip(*columns.values())
    table = np.random.default_rng(seed).uniform(low, high, (members, len(names)))
    assert_members_equal_single_runs(model, forcing, names, table)
