"""A basin's plain-data form (JSON, pickle, from_dict) and its runs as DataFrames."""

import json
import pickle
import sys
from datetime import timedelta

import pytest

import vesparil
from test_basin import RAIN, STEP, model

basin = vesparil.basin


def full_model():
    m, _ = model(reach=True, reservoir=True)
    m.add_source("spring", "merge")
    m.add_junction("merge")
    plain = m.to_dict()
    plain["elements"][2]["downstream"] = "merge"
    pool = plain["elements"][2]["level_pool"]
    pool["outlets"]["gate"] = {"kind": "controlled", "elevation_discharge": {
        "elevation": [100.0, 110.0], "discharge": [0.0, 50.0]}, "minimum_elevation": None,
        "maximum_elevation": 109.0, "maximum_release": 30.0}
    pool["outlets"]["release"] = {"kind": "specified", "discharge": [1.0] * 60, "time_step": 1800,
                                  **dict.fromkeys(["minimum_elevation", "maximum_elevation",
                                                   "maximum_release"])}
    return basin.Basin.from_dict(plain)


def test_plain_data_round_trips_through_json_and_pickle():
    m = full_model()
    plain = m.to_dict()
    again = basin.Basin.from_dict(json.loads(json.dumps(plain)))
    assert again.to_dict() == plain
    copy = pickle.loads(pickle.dumps(m))
    assert type(copy) is basin.Basin and copy.to_dict() == plain
    forcing = {"sub": RAIN, "spring": [0.5] * len(RAIN)}
    assert copy.run(forcing)["merge"].outflow.data == m.run(forcing)["merge"].outflow.data
    odd = basin.Basin(STEP)  # durations keep their microseconds
    odd.add_subbasin("s", 1.0, None, basin.Clark(timedelta(hours=1, microseconds=7), timedelta(0)))
    assert basin.Basin.from_dict(odd.to_dict()).to_dict() == odd.to_dict()


@pytest.mark.parametrize("edit, error, message", [
    (lambda p: p.pop("time_step"), ValueError, "basin: missing 'time_step'"),
    (lambda p: p["elements"][0].update(kind="lake"), ValueError, "element 'sub': unknown kind 'lake'"),
    (lambda p: p["elements"][0].update(area="big"), TypeError, "element 'sub': 'area': must be real number"),
    (lambda p: p["elements"][0]["baseflow"]["fast"].update(gw_fraction=2.0), ValueError,
     "gw_fraction must be between 0 and 1"),
    (lambda p: p["elements"][2]["level_pool"]["elevation_storage"].update(storage=[1.0]), ValueError,
     "`elevation` and `storage` must have the same length"),
])
def test_from_dict_errors(edit, error, message):
    plain = full_model().to_dict()
    edit(plain)
    with pytest.raises(error, match="^" + message):
        basin.Basin.from_dict(plain)


def test_dataframe():
    pandas = pytest.importorskip("pandas", reason="to_dataframe needs pandas")
    m, _ = model(reach=True)
    run = m.run({"sub": RAIN})
    frame = run.to_dataframe(start=pandas.Timestamp("2024-05-01"))
    assert list(frame.columns) == ["sub", "reach"] and frame.index[1] == pandas.Timestamp("2024-05-01 00:30")
    assert frame["reach"].tolist() == run["reach"].outflow.data
    assert run.to_dataframe().index.tolist() == list(range(len(RAIN)))


def test_dataframe_without_pandas(monkeypatch):
    monkeypatch.setitem(sys.modules, "pandas", None)
    pytest.raises(ImportError, model()[0].run({"sub": RAIN}).to_dataframe).match("needs pandas")

