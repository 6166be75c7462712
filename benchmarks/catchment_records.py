"""The five daily records of benchmarks/catchments.py from grsuite and lumod (the other nine are
in catchment_data.py, whose cache, Record and units these share).

- grsuite 1.1.1, its source archive (the wheel holds no data), read with tarfile and never built
  or run: grsuite-1.1.1/tests/data/basin_daily.csv.gz and basin_snow.csv.gz, columns Date, P, E,
  T and Qmm (precipitation, PET and flow in mm/day, temperature in deg C; "NA" where no flow was
  observed). The flow stays in mm/day on the unit area, as for the holmes records. The snow
  basin's hypsometry is a file of its own, tests/data/hypso_snow.csv.gz: 101 elevations, the
  0th to the 100th percentile (its 50th, 1,636 m, is the elevation of the inputs given in
  idx_snow.csv.gz). CemaNeige runs there on five equal-area bands at the medians of the five
  elevation quintiles (the 10th, 30th, ... 90th percentiles) about the 50th percentile; the
  mean annual snowfall is that of the record on those bands, by CemaNeige's own solid share.
  The daily basin gives no hypsometry: one band, as for the Lahn.
- lumod 0.1.3.0, its wheel: lumod/data/example1.csv to example3.csv (date, prec in mm/day,
  tmin/tmean/tmax in deg C, qt in m3/s; example3's temperature columns come in the order tmean,
  tmax, tmin) and lumod/data/attributes.csv (catchment, area in km2, lat in degrees north),
  which gives the areas (382, 73.4 and 30 km2) and the latitudes of the Oudin PET, made by the
  basin from tmean as for the Fulda. The catchments are, by the docstring of load_example in
  lumod/tools/time_series.py: one in the Tamaulipas state of Mexico, the Saraquipi River in
  Costa Rica and the Girnock experimental catchment in Scotland.
"""

from __future__ import annotations

import csv
import gzip
import io
import tarfile
import zipfile
from datetime import date

import numpy as np

import catchment_data as data
import vesparil

GRSUITE_DATA = "grsuite-1.1.1/tests/data/"
GRSUITE_BASINS = ("basin_daily", "basin_snow")
LUMOD_DATA = "lumod/data/"
LUMOD_NAMES = {1: "Tamaulipas", 2: "Saraquipi", 3: "Girnock"}


def _gzip_csv(archive: tarfile.TarFile, name: str) -> str:
    return gzip.decompress(archive.extractfile(GRSUITE_DATA + name).read()).decode()


def quintile_bands(hypsometry: list[float]) -> dict:
    """Five equal-area bands at the medians of the quintiles of a 101-point hypsometric curve
    (the 0th to the 100th percentile), about its median."""
    if len(hypsometry) != 101:
        raise ValueError(f"expected 101 percentiles, got {len(hypsometry)}")
    return {"elevations": [hypsometry[p] for p in (10, 30, 50, 70, 90)],
            "median_elevation": hypsometry[50]}


def grsuite(archive: tarfile.TarFile) -> list[data.Record]:
    records = []
    for name in GRSUITE_BASINS:
        rows = list(csv.DictReader(io.StringIO(_gzip_csv(archive, f"{name}.csv.gz"))))
        p, t = data.floats(rows, "P"), data.floats(rows, "T")
        snow = {}
        if name == "basin_snow":
            hypsometry = [float(z) for z in _gzip_csv(archive, "hypso_snow.csv.gz").split()[1:]]
            snow = quintile_bands(hypsometry)
            snowfall = vesparil.snow.run_cemaneige(p, t, 0.0, 0.25, 1.0, snow["elevations"],
                                                   snow["median_elevation"]).snowfall
            snow["mean_annual_snowfall"] = float(np.sum(snowfall)) / (len(p) / 365.25)
        records.append(data.Record(
            name, [date.fromisoformat(r["Date"][:10]) for r in rows], p, data.floats(rows, "E"),
            t, data.floats(rows, "Qmm"), data.UNIT_AREA_ACRES, "flow in mm/day", snow,
            source=f"grsuite 1.1.1 (source archive), tests/data/{name}.csv.gz"))
    return records


def lumod(archive: zipfile.ZipFile) -> list[data.Record]:
    attributes = {int(r["catchment"]): r for r in csv.DictReader(io.StringIO(
        archive.read(LUMOD_DATA + "attributes.csv").decode()))}
    records = []
    for number, row in sorted(attributes.items()):
        name = f"example{number}.csv"
        rows = list(csv.DictReader(io.StringIO(archive.read(LUMOD_DATA + name).decode())))
        rows = [{k.lower(): v for k, v in r.items()} for r in rows]  # "Date" or "date"
        dates = [date.fromisoformat(r["date"][:10]) for r in rows]
        km2, latitude = float(row["area"]), float(row["lat"])
        t = data.floats(rows, "tmean")
        pet = np.array(vesparil.evapotranspiration.calculate_pet_oudin(
            t, latitude, [d.timetuple().tm_yday for d in dates]))
        records.append(data.Record(
            f"lumod {number}", dates, data.floats(rows, "prec"), pet, t,
            data.floats(rows, "qt") / data.CUBIC_METRES_PER_CUBIC_FOOT, data.km2_to_acres(km2),
            f"{km2:g} km2", oudin_latitude=latitude,
            source=f"lumod 0.1.3.0, {LUMOD_DATA}{name}; area: {LUMOD_DATA}attributes.csv"))
    return records
