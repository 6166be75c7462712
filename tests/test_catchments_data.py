"""The readers of benchmarks/catchment_data.py and catchment_records.py on tiny archives built in
memory, zip and tar.gz (no download)."""

import gzip
import io
import math
import sys
import tarfile
import zipfile
from datetime import date
from pathlib import Path

import pytest

np = pytest.importorskip("numpy", reason="the catchment readers need numpy (pip install numpy)")
sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "benchmarks"))

import catchment_data as data  # noqa: E402
import catchment_records as more  # noqa: E402

HEADER = 'Timegrid("1989-11-01 00:00:00+01:00",\n         "1989-11-04 00:00:00+01:00",\n' \
         '         "1d")\n'
CFS = 1.0 / 0.3048**3  # cfs per m3/s


def archive(files: dict[str, str]) -> zipfile.ZipFile:
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as out:
        for name, text in files.items():
            out.writestr(name, text)
    return zipfile.ZipFile(io.BytesIO(buffer.getvalue()))


def source_archive(files: dict[str, str]) -> tarfile.TarFile:
    """A tar.gz whose members are gzipped, as grsuite's data files are."""
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w:gz") as out:
        for name, text in files.items():
            body = gzip.compress(text.encode())
            info = tarfile.TarInfo(more.GRSUITE_DATA + name)
            info.size = len(body)
            out.addfile(info, io.BytesIO(body))
    return tarfile.open(fileobj=io.BytesIO(buffer.getvalue()), mode="r:gz")


@pytest.mark.parametrize("text, first, values", [
    (HEADER + "5.42\n10.10\n7.61\n", date(1989, 11, 1), [5.42, 10.1, 7.61]),
    (HEADER + "1\n\n2\n", date(1989, 11, 1), [1.0, 2.0]),  # blank lines are not values
    ('Timegrid("2000-02-29 00:00:00", "2000-03-01 00:00:00", "1d")\n-0.5\n',
     date(2000, 2, 29), [-0.5]),
])
def test_asc_series_reads_its_first_day_and_values(text, first, values):
    assert data.read_asc(text) == (first, values)


@pytest.mark.parametrize("parse, text, km2", [
    (data.control_area, "# -*- coding: utf-8 -*-\narea(692.3)\nzonearea(14.41, 7.06)\n"
     'resparea(auxfile="land")\n', 692.3),
    (data.control_area, "zonearea(5.0)\n  area( 1733.0 )\n", 1733.0),  # only the area line
    (data.control_area, "zonearea(5.0)\n", None),
    (data.control_area, "area(1.0)\narea(2.0)\n", None),  # two areas: which one?
    (data.stated_area, "# Transform [mm/day] into [l s-1], where 1.783 is the catchment area\n"
     "self.Factor = 1.783 * 1000 * 1000 / (60 * 60 * 24)\n", 1.783),
    (data.stated_area, "where 12 is the catchment area", 12.0),
    (data.stated_area, "the catchment area is 1.783", None),
])
def test_area_parsers_take_the_stated_number_or_refuse(parse, text, km2):
    if km2 is None:
        with pytest.raises(ValueError):
            parse(text)
    else:
        assert parse(text) == km2


def test_lahn_gauges_get_the_control_areas_adjusted_pet_and_flow_in_cfs():
    series = {"hland_96_input_p": "1\n0\n3\n", "hland_96_input_t": "12\n2\n-20\n",
              "evap_pet_hbv96_input_normalevapotranspiration": "2\n2\n2\n",
              "evap_pet_hbv96_input_normalairtemperature": "10\n10\n10\n"}
    files = {}
    for km2, gauge in enumerate(data.LAHN_GAUGES, start=1):
        for suffix, body in series.items():
            files[f"{data.LAHN_SERIES}land_{gauge}_{suffix}.asc"] = HEADER + body
        files[f"{data.LAHN_SERIES}{gauge}_obs_q.asc"] = HEADER + "0.3048\n1\n2\n"
        files[f"{data.LAHN_CONTROL}land_{gauge}.py"] = f"area({km2 * 100.0})\nzonearea(1.0)\n"
    records = data.lahn(archive(files))
    assert list(records) == list(data.LAHN_GAUGES)
    leun = records["lahn_leun"]
    assert leun.dates == [date(1989, 11, 1), date(1989, 11, 2), date(1989, 11, 3)]
    # (1 + 0.1 (T - Tn)) En, floored at zero on the cold day
    assert list(leun.evapotranspiration) == pytest.approx([2.4, 0.4, 0.0])
    assert leun.observed[0] == pytest.approx(0.3048 * CFS)
    assert [r.area_acres for r in records.values()] == pytest.approx(
        [data.km2_to_acres(k) for k in (100.0, 200.0, 300.0, 400.0)])
    assert leun.area_note == "local 300 km2"


def test_small_catchment_reads_semicolons_missing_flows_litres_and_its_area():
    text = ("Date;rainfall[mm];TURC [mm d-1];Discharge[ls-1]\n01.01.2012;2.5;0.35;nan\n"
            "02.01.2012;0;0.26;28.316846592\n")
    record = data.small_catchment(archive({
        data.SMALL_INPUT: text, data.SMALL_SETUP: "# where 1.783 is the catchment area\n"}))
    assert record.dates == [date(2012, 1, 1), date(2012, 1, 2)]
    assert list(record.precipitation) == [2.5, 0.0] and record.temperature is None
    assert math.isnan(record.observed[0]) and record.observed[1] == pytest.approx(1.0)
    assert record.area_acres == pytest.approx(1.783e6 / 4046.8564224)


HYPSOMETRY = "hypso\n" + "".join(f"{100.0 + 10.0 * k}\n" for k in range(101))
DAILY = "Date,P,E,T,Qmm\n1984-01-01,4.1,0.2,0.5,0.63\n1984-01-02,15.9,0.2,-3,NA\n"


def test_grsuite_basins_keep_mm_per_day_and_the_snow_basin_gets_quintile_bands():
    snowy_days = DAILY.replace(",0.5,", ",-30,").replace(",-3,", ",-20,")
    daily, snowy = more.grsuite(source_archive({
        "basin_daily.csv.gz": DAILY, "basin_snow.csv.gz": snowy_days,
        "hypso_snow.csv.gz": HYPSOMETRY}))
    assert daily.dates == [date(1984, 1, 1), date(1984, 1, 2)]
    assert list(daily.evapotranspiration) == [0.2, 0.2] and list(daily.temperature) == [0.5, -3]
    assert daily.observed[0] == 0.63 and math.isnan(daily.observed[1])
    assert daily.area_acres == snowy.area_acres == data.UNIT_AREA_ACRES and daily.snow == {}
    assert snowy.snow["elevations"] == [200.0, 400.0, 600.0, 800.0, 1000.0]
    assert snowy.snow["median_elevation"] == 600.0
    # every band below -1 deg C on both days: all of the 20 mm is snow, in 2 / 365.25 years
    assert snowy.snow["mean_annual_snowfall"] == pytest.approx(20.0 * 365.25 / 2.0)


@pytest.mark.parametrize("hypsometry", [[1.0] * 100, [1.0] * 102])
def test_quintile_bands_need_the_101_percentiles(hypsometry):
    with pytest.raises(ValueError, match="101 percentiles"):
        more.quintile_bands(hypsometry)


def test_lumod_examples_read_by_column_name_with_the_attributes_area_and_latitude():
    files = {"lumod/data/attributes.csv": "catchment,area,lat\n1,382,24.300\n3,30,57.016\n",
             "lumod/data/example1.csv": "Date,prec,tmin,tmean,tmax,qt\n"
                                        "1981-01-01,0.0,10.0,16.5,23.0,0.68\n",
             "lumod/data/example3.csv": "date,prec,tmean,tmax,tmin,qt\n"
                                        "2003-10-01,0.4,2.05,3.30,0.80,0.075\n"}
    first, third = more.lumod(archive(files))
    assert [first.name, third.name] == ["lumod 1", "lumod 3"]
    assert list(first.temperature) == [16.5] and list(third.temperature) == [2.05]
    assert third.dates == [date(2003, 10, 1)] and list(third.precipitation) == [0.4]
    assert third.observed[0] == pytest.approx(0.075 * CFS)
    assert [first.area_acres, third.area_acres] == pytest.approx(
        [data.km2_to_acres(382.0), data.km2_to_acres(30.0)])
    assert [first.oudin_latitude, third.oudin_latitude] == [24.3, 57.016]
    assert list(third.evapotranspiration) == list(
        data.vesparil.evapotranspiration.calculate_pet_oudin([2.05], 57.016, [274]))
