"""The daily model chain of the Fulda river, shared by the calibration and ensemble examples.

Data: ten years (1979-1988) of daily precipitation (mm/day) and discharge (m3/s) of the Fulda,
2,976 km2, read from the file that ships inside the `spotpy` wheel
(`spotpy/examples/cmf_data/fulda_climate.csv`, columns date, tmax, tmin, tmean, Prec, Q).
The library works in US customary units, so the rain goes in as inches per day over the basin
area in acres, and the simulated discharge comes back in cfs and is converted to m3/s.

The chain, one library call per model:

    gross rain -> deficit-and-constant loss -> excess -> Clark unit hydrograph -> direct runoff
                                            \\-> loss -> linear-reservoir layers -> baseflow
    discharge = direct runoff + baseflow

There is no evapotranspiration term: the only ways water leaves the chain are the share of the
loss that feeds no baseflow layer and the tail of the Clark unit hydrograph that is cut off
(the unit hydrograph keeps ceil(tc / dt) ordinates). A simple chain, on purpose.

Snow: the Fulda's largest floods come in late winter, when rain falls on melting snow, and a
chain that turns every winter day's precipitation into runoff at once cannot time them (it
reaches a validation KGE of about 0.39). So by default the gross rain first passes a two-
parameter degree-day snow store written here in plain Python (the library has no snow model):
precipitation on days with a mean temperature below the threshold is stored, and on warmer days
the store melts at `melt_factor` mm per degree and day. `snow=False` runs the chain without it.

Clark at a daily step: the unit hydrograph has ceil(tc / dt) ordinates and its first is always
zero, so a tc of one day or less leaves a single zero ordinate and all direct runoff vanishes.
The lower bound of tc is therefore kept above one day.

The ensemble (ensemble_dask.py) runs this chain as the basin of fulda_basin.py and routes each
member's flood through `FloodReservoir`.
"""

from __future__ import annotations

import csv
import importlib.resources
import math
from collections.abc import Sequence
from dataclasses import dataclass
from datetime import date, timedelta
from typing import NamedTuple

import vesparil

MM_PER_INCH = 25.4
SQUARE_METRES_PER_ACRE = 4046.8564224
CUBIC_METRES_PER_CUBIC_FOOT = 0.3048**3
CATCHMENT_KM2 = 2976.0
CATCHMENT_ACRES = CATCHMENT_KM2 * 1.0e6 / SQUARE_METRES_PER_ACRE
DAY = timedelta(days=1)

CALIBRATION_YEARS = (1980, 1986)
VALIDATION_YEARS = (1987, 1988)
# The largest summer flood of the record, a rain flood that peaked on 6 June 1981 at 257 m3/s:
# the ensemble routes the simulated days from the 2nd to the 13th (rise, peak and the
# reservoir's drawdown) through a planned detention reservoir.
FLOOD_FIRST_DAY = date(1981, 6, 2)
FLOOD_DAYS = 12


class Parameter(NamedTuple):
    name: str
    low: float
    high: float
    unit: str


# The parameters of the chain itself; the snow store adds two (see `parameters`).
PARAMETERS = (
    Parameter("max_deficit", 0.2, 8.0, "in"),
    Parameter("constant_loss_per_hr", 0.0, 0.05, "in/h"),
    Parameter("time_to_dry", 1.0, 120.0, "days"),
    Parameter("tc", 1.05, 8.0, "days"),  # must stay above one day, see the module docstring
    Parameter("storage_r", 0.5, 10.0, "days"),
    Parameter("fast_k", 2.0, 40.0, "days"),
    Parameter("slow_k", 40.0, 400.0, "days"),
    Parameter("groundwater_share", 0.0, 1.0, "-"),  # share of the loss that feeds the layers
    Parameter("slow_share", 0.0, 1.0, "-"),  # share of that which feeds the slow layer
)
SNOW_PARAMETERS = (
    Parameter("snow_threshold", -2.0, 3.0, "degC"),
    Parameter("melt_factor", 0.5, 8.0, "mm/degC/day"),
)


def parameters(snow: bool = True) -> tuple[Parameter, ...]:
    """The calibrated parameters, in the order of every parameter vector."""
    return PARAMETERS + SNOW_PARAMETERS if snow else PARAMETERS


def bounds(snow: bool = True) -> list[tuple[float, float]]:
    return [(p.low, p.high) for p in parameters(snow)]


# Reservoirs per baseflow layer. Two in the fast layer give its response a rounded rise; the
# stability rule (K / reservoirs >= half a day) holds because fast_k starts at two days.
FAST_RESERVOIRS = 2
SLOW_RESERVOIRS = 1


@dataclass(frozen=True)
class FuldaRecord:
    """The daily record with the rain already in inches and the discharge in m3/s."""

    dates: list[date]
    rain_in: list[float]
    tmean_c: list[float]
    observed_m3s: list[float]

    def period(self, years: tuple[int, int]) -> tuple[int, int]:
        """Index range [start, stop) of the days in the given years, both included."""
        inside = [i for i, day in enumerate(self.dates) if years[0] <= day.year <= years[1]]
        return inside[0], inside[-1] + 1

    @property
    def calibration(self) -> tuple[int, int]:
        return self.period(CALIBRATION_YEARS)

    @property
    def validation(self) -> tuple[int, int]:
        return self.period(VALIDATION_YEARS)

    @property
    def flood(self) -> tuple[int, int]:
        start = self.dates.index(FLOOD_FIRST_DAY)
        return start, start + FLOOD_DAYS


def load_fulda() -> FuldaRecord:
    """Reads the Fulda record from the installed `spotpy` package (never copied here)."""
    try:
        package = importlib.resources.files("spotpy")
    except ModuleNotFoundError as missing:
        raise SystemExit("the Fulda record ships inside spotpy: "
                         "python3 -m pip install 'vesparil[examples]'") from missing
    source = package / "examples" / "cmf_data" / "fulda_climate.csv"
    rows = list(csv.DictReader(source.read_text(encoding="utf-8").splitlines()))
    rows = [row for row in rows if not row["date"].startswith("#")]  # the units line
    dates = [date(int(r["date"][6:10]), int(r["date"][3:5]), int(r["date"][0:2])) for r in rows]
    rain_in = [float(r["Prec"]) / MM_PER_INCH for r in rows]
    tmean_c = [float(r["tmean"]) for r in rows]
    observed = [float(r["Q"]) for r in rows]
    return FuldaRecord(dates, rain_in, tmean_c, observed)


def snow_store(
    rain_in: Sequence[float], tmean_c: Sequence[float], threshold_c: float,
    melt_factor_mm: float,
) -> list[float]:
    """Rain plus melt (inches per day) from a degree-day snow store that starts empty."""
    melt_per_degree = melt_factor_mm / MM_PER_INCH
    stored = 0.0
    released = []
    for rain, temperature in zip(rain_in, tmean_c, strict=True):
        if temperature < threshold_c:
            stored += rain
            rain = 0.0
        elif stored > 0.0:
            melt = min(stored, melt_per_degree * (temperature - threshold_c))
            stored -= melt
            rain += melt
        released.append(rain)
    return released


class FuldaChain:
    """The chain over one record of daily rain (inches) and mean temperature (degC)."""

    def __init__(
        self, rain_in: Sequence[float], tmean_c: Sequence[float], lowest_flow_m3s: float,
        snow: bool = True,
    ) -> None:
        self.length = len(rain_in)
        self.rain_in, self.tmean_c, self.snow = list(rain_in), list(tmean_c), snow
        self.parameters = parameters(snow)
        # Without snow the gross rain never changes: one series serves every run.
        self.rain = vesparil.utils.IncrementalTimeSeries(self.rain_in, DAY, "rainfall")
        # The slow layer starts at the lowest flow of the record: at the start of a long record
        # its storage is unknown, and the lowest flow is the best guess of pure baseflow.
        self.slow_initial_cfs = lowest_flow_m3s / CUBIC_METRES_PER_CUBIC_FOOT

    def discharge(self, params: Sequence[float]) -> list[float]:
        """Simulated daily discharge (m3/s), one value per rain day."""
        if len(params) != len(self.parameters):
            raise ValueError(f"expected {len(self.parameters)} parameters, got {len(params)}")
        (max_deficit, constant_loss, time_to_dry, tc, storage_r,
         fast_k, slow_k, groundwater_share, slow_share) = params[: len(PARAMETERS)]
        gross = self.rain
        if self.snow:
            threshold, melt_factor = params[len(PARAMETERS):]
            gross = vesparil.utils.IncrementalTimeSeries(
                snow_store(self.rain_in, self.tmean_c, threshold, melt_factor), DAY, "rainfall")
        # The record starts on 1 January: a winter soil at field capacity has no deficit.
        loss = vesparil.rainfall_loss.run_deficit_and_constant(
            gross, 0.0, max_deficit, constant_loss, timedelta(days=time_to_dry))
        direct = vesparil.rainfall_transform.run_clark_uh(
            loss.excess, CATCHMENT_ACRES, timedelta(days=tc), timedelta(days=storage_r))
        layers = {
            "fast": vesparil.baseflow.LinearReservoir(
                timedelta(days=fast_k), groundwater_share * (1.0 - slow_share), 0.0,
                FAST_RESERVOIRS),
            "slow": vesparil.baseflow.LinearReservoir(
                timedelta(days=slow_k), groundwater_share * slow_share, self.slow_initial_cfs,
                SLOW_RESERVOIRS),
        }
        baseflow, _ = vesparil.baseflow.run_linear_reservoir(CATCHMENT_ACRES, loss.loss, layers)
        # The direct runoff runs on past the last rain day by the unit hydrograph's length;
        # only the days of the record are kept.
        return [
            (q + b) * CUBIC_METRES_PER_CUBIC_FOOT
            for q, b in zip(direct.data[: self.length], baseflow.data, strict=True)
        ]


def kge(simulated: Sequence[float], observed: Sequence[float], period: tuple[int, int]) -> float:
    start, stop = period
    return vesparil.metrics.calculate_kge(simulated[start:stop], observed[start:stop])


def volume_ratio(
    simulated: Sequence[float], observed: Sequence[float], period: tuple[int, int]
) -> float:
    start, stop = period
    return math.fsum(simulated[start:stop]) / math.fsum(observed[start:stop])


class FloodReservoir:
    """A planned detention reservoir at the gauge: 80 ft deep, about 21 million m3 at the crest.

    A gate on a rating curve releases at most 150 m3/s; above the crest at 870 ft a spillway
    passes the rest. The level pool routing steps through every second of the flood.
    """

    GATE_CAP_M3S = 150.0
    FLOOR_FT, CREST_FT = 800.0, 870.0
    # Empty before the flood, as a detention reservoir is kept: a standing pool would hold the
    # gate open and floor every peak release at the pool's own outflow.
    INITIAL_FT = FLOOR_FT

    def __init__(self) -> None:
        utils = vesparil.reservoir.reservoir_utils
        depths = [float(h) for h in range(0, 81, 4)]
        elevations = [self.FLOOR_FT + h for h in depths]
        self.curve = utils.ElevationStorage(elevations, [1.5e5 * h * h for h in depths])
        gate = utils.ElevationDischarge(elevations, [700.0 * math.sqrt(h) for h in depths])
        heads = [float(h) for h in range(0, 11)]
        spillway = utils.ElevationDischarge(
            [self.CREST_FT + h for h in heads], [3.0 * 400.0 * h**1.5 for h in heads])
        self.outlets = {
            "gate": utils.ControlledDischargeInfo(
                gate, maximum_release=self.GATE_CAP_M3S / CUBIC_METRES_PER_CUBIC_FOOT),
            "spillway": utils.UnControlledDischargeInfo(spillway),
        }

    def peak_release(self, inflow_m3s: Sequence[float]) -> float:
        """Peak release (m3/s) of a daily inflow; NaN when the flood overtops the dam."""
        inflow = vesparil.utils.ContinuousTimeSeries(
            [q / CUBIC_METRES_PER_CUBIC_FOOT for q in inflow_m3s], DAY, "discharge")
        try:
            routed = vesparil.reservoir.run_level_pool_routing(
                inflow, self.INITIAL_FT, self.curve, self.outlets)
        except ValueError:  # the water level left the curves: the dam is overtopped
            return math.nan
        return max(routed.reservoir_total_outflow.data) * CUBIC_METRES_PER_CUBIC_FOOT


# What `calibrate_fulda.py --seed 1` prints, in the order of `parameters()`.
CALIBRATED = [3.7847, 0.0077, 118.1303, 4.0040, 3.2109, 8.6217, 337.6271, 0.3603, 0.0683,
              2.1248, 6.0442]


def main() -> None:
    """Runs the chain once with a calibrated parameter set and prints its scores."""
    record = load_fulda()
    params = CALIBRATED
    simulated = FuldaChain(record.rain_in, record.tmean_c, min(record.observed_m3s)).discharge(params)
    observed = record.observed_m3s
    print(f"Fulda, {record.dates[0]} to {record.dates[-1]} ({len(record.dates)} days), "
          "with the parameters calibrate_fulda.py finds (seed 1, rounded)")
    for name, period in (("calibration", record.calibration), ("validation ", record.validation)):
        first, last = record.dates[period[0]], record.dates[period[1] - 1]
        print(f"  {name} {first} to {last}: KGE {kge(simulated, observed, period):.4f}, "
              f"volume ratio {volume_ratio(simulated, observed, period):.4f}")
    start, stop = record.flood
    peak = FloodReservoir().peak_release(simulated[start:stop])
    print(f"  June 1981 flood: simulated peak {max(simulated[start:stop]):.1f} m3/s, "
          f"released at most {peak:.1f} m3/s by the detention reservoir")


if __name__ == "__main__":
    main()
