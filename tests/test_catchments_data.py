"""The readers of benchmarks/catchment_data.py on tiny archives built in memory (no download)."""

import io
import math
import sys
import zipfile
from datetime import date
from pathlib import Path

import pytest

np = pytest.importorskip("numpy", reason="the catchment readers need numpy (pip install numpy)")
sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "benchmarks"))

import catchment_data as data  # noqa: E402

HEADER = 'Timegrid("1989-11-01 00:00:00+01:00",\n         "1989-11-04 00:00:00+01:00",\n' \
         '         "1d")\n'


def archive(files: dict[str, str]) -> zipfile.ZipFile:
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as out:
        for name, text in files.items():
            out.writestr(name, text)
    return zipfile.ZipFile(io.BytesIO(buffer.getvalue()))


@pytest.mark.parametrize("text, first, values", [
    (HEADER + "5.42\n10.10\n7.61\n", date(1989, 11, 1), [5.42, 10.1, 7.61]),
    (HEADER + "1\n\n2\n", date(1989, 11, 1), [1.0, 2.0]),  # blank lines are not values
    ('Timegrid("2000-02-29 00:00:00", "2000-03-01 00:00:00", "1d")\n-0.5\n',
     date(2000, 2, 29), [-0.5]),
])
def test_asc_series_reads_its_first_day_and_values(text, first, values):
    assert data.read_asc(text) == (first, values)


def test_lahn_gauges_get_the_temperature_adjusted_pet_and_flow_in_cfs():
    series = {"hland_96_input_p": "1\n0\n3\n", "hland_96_input_t": "12\n2\n-20\n",
              "evap_pet_hbv96_input_normalevapotranspiration": "2\n2\n2\n",
              "evap_pet_hbv96_input_normalairtemperature": "10\n10\n10\n"}
    files = {}
    for gauge in data.LAHN_GAUGES:
        for suffix, body in series.items():
            files[f"{data.LAHN_SERIES}land_{gauge}_{suffix}.asc"] = HEADER + body
        files[f"{data.LAHN_SERIES}{gauge}_obs_q.asc"] = HEADER + "0.3048\n1\n2\n"
    records = data.lahn(archive(files))
    assert list(records) == list(data.LAHN_GAUGES)
    leun = records["lahn_leun"]
    assert leun.dates == [date(1989, 11, 1), date(1989, 11, 2), date(1989, 11, 3)]
    # (1 + 0.1 (T - Tn)) En, floored at zero on the cold day
    assert list(leun.evapotranspiration) == pytest.approx([2.4, 0.4, 0.0])
    assert leun.observed[0] == pytest.approx(0.3048 / 0.3048**3)
    assert leun.area_acres is None


def test_small_catchment_reads_semicolons_missing_flows_and_litres():
    text = ("Date;rainfall[mm];TURC [mm d-1];Discharge[ls-1]\n01.01.2012;2.5;0.35;nan\n"
            "02.01.2012;0;0.26;28.316846592\n")
    record = data.small_catchment(archive({"spotpy/examples/hymod_python/hymod_input.csv": text}))
    assert record.dates == [date(2012, 1, 1), date(2012, 1, 2)]
    assert list(record.precipitation) == [2.5, 0.0] and record.temperature is None
    assert math.isnan(record.observed[0]) and record.observed[1] == pytest.approx(1.0)


def test_area_bounds_span_runoff_ratios_one_to_a_tenth_and_skip_missing_days():
    record = data.Record("x", [date(2000, 1, d) for d in range(1, 5)],
                         np.array([10.0, 10.0, 99.0, 10.0]), np.zeros(4), None,
                         np.array([1.0, 1.0, math.nan, 1.0]), None)
    low, high = data.area_bounds(record, slice(0, 4))
    # 3 cfs-days from 30 mm: area * 30 * (43560 / 26334720) = 3
    assert low == pytest.approx(3.0 / (30.0 * data.MM_DAY_FACTOR))
    assert high == pytest.approx(10 * low)
