"""Every method class of vesparil.basin, from the one table of basin_method_rows.py: its basin
equals its standalone function on the basin's axis, a batch member equals the single run of its
values, and its plain data round-trips. A method class without its row here, in entries.py or in
either leak table fails the last test."""

import json
import pickle
from pathlib import Path

import pytest
from basin_checks import assert_members_equal_single_runs
from basin_method_rows import IDS, ROWS, made

import entries
import vesparil

np = pytest.importorskip("numpy", reason="the batch's parameter table is a NumPy array")

basin = vesparil.basin
# The classes of vesparil.basin that are no method: the network and what its runs give.
NOT_METHODS = {"Basin", "BasinRun", "ElementRun"}


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


def memory_rows():
    import leak_rows_memory
    return [name for name, _, _ in leak_rows_memory.ENTRIES]


def reference_rows():
    import test_leaks
    return [name for name, _, _ in test_leaks.EVERY_ENTRY]


# Each table's row names; a method class needs the row `<class>()`, as entries.missing_rows
# reads them, in each leak table on its own.
TABLES = {
    "method rows": lambda: [f"{row.cls}()" for row in ROWS],
    "entries.py": lambda: [f"{entries.short(path)}()" for path in entries.CLASSES
                           if path.startswith("basin.")],
    "leak memory rows": memory_rows,
    "leak reference rows": reference_rows,
}


@pytest.mark.parametrize("table", TABLES)
def test_every_method_class_has_its_rows(table):
    methods = [name for name in basin.__all__
               if isinstance(getattr(basin, name), type) and name not in NOT_METHODS]
    assert len(methods) >= 17
    assert entries.missing_rows(TABLES[table](), [f"{name}()" for name in methods]) == []
    assert len(IDS) == len(set(IDS)) and set(IDS) <= set(methods)


def test_every_method_class_is_in_the_readme_and_the_basin_guide():
    root = Path(__file__).resolve().parent.parent
    if not (root / "docs" / "basin.md").exists():
        pytest.skip("the guide is not beside the tests (an installed copy)")
    methods = [name for name in basin.__all__
               if isinstance(getattr(basin, name), type) and name not in NOT_METHODS]
    readme_row = next(line for line in (root / "README.md").read_text().splitlines()
                      if line.startswith("| `vesparil.basin` |"))
    guide = (root / "docs" / "basin.md").read_text()
    assert [m for m in methods if f"`{m}`" not in readme_row] == []
    assert [m for m in methods if f"`{m}(" not in guide] == []
