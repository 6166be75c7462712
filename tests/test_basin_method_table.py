"""Every method class of vesparil.basin, from the one table of basin_method_rows.py: its basin
equals its standalone function on the basin's axis, a batch member equals the single run of its
values, and its plain data round-trips."""

import json
import pickle

import pytest
from basin_checks import assert_members_equal_single_runs
from basin_method_rows import IDS, ROWS, made

import vesparil

np = pytest.importorskip("numpy", reason="the batch's parameter table is a NumPy array")

basin = vesparil.basin


def steps(forcing):
    series = next(iter(forcing.values()))
    return len(series["precipitation"] if isinstance(series, dict) else series)


@pytest.mark.parametrize("row", ROWS, ids=IDS)
def test_outflow_equals_the_standalone_function_on_the_axis(row):
    outflow = made(row).run(row.forcing)["north"].outflow.data
    assert outflow == row.standalone(*row.arguments)
    assert len(outflow) == steps(row.forcing)
    assert len(set(outflow)) > 3  # the forcing reaches the outlet


@pytest.mark.parametrize("row", ROWS, ids=IDS)
def test_batch_member_equals_the_single_run_of_its_values(row):
    table = np.array([[value] for value in row.values])
    outflows = assert_members_equal_single_runs(made(row), row.forcing, [row.column], table)
    assert outflows[0].tolist() != outflows[1].tolist()  # the column reaches the method


@pytest.mark.parametrize("row", ROWS, ids=IDS)
def test_plain_data_round_trips(row):
    m = made(row)
    plain = m.to_dict()
    again = basin.Basin.from_dict(json.loads(json.dumps(plain)))
    copy = pickle.loads(pickle.dumps(m))
    assert again.to_dict() == plain == copy.to_dict()
    # A method lost on the way would change the flow.
    flows = [b.run(row.forcing)["north"].outflow.data for b in (m, again, copy)]
    assert flows[0] == flows[1] == flows[2]

