"""The Fulda chain of fulda_chain.py as a basin model, for the calibration by batches.

One sub-basin: deficit-and-constant loss, Clark unit hydrograph and the two baseflow layers, with
the chain's nine parameters (days for durations) mapped to the basin's columns (hours for
durations; the two shares become the layers' fractions). The basin puts the baseflow on its time
axis (value i at the start of day i, docs/basin.md), one day earlier than fulda_chain.py.

`evaluate_block` scores a block of parameter rows for the ensemble: it takes only plain data
and arrays (a `Job` and an N x 9 array), so a Dask worker runs it as well as a thread does.
"""

from __future__ import annotations

import math
from collections.abc import Sequence
from typing import Any, NamedTuple

import numpy as np
import numpy.typing as npt

import fulda_chain
from fulda_chain import FuldaRecord
from vesparil import basin, baseflow, metrics

# The chain's parameters (fulda_chain.PARAMETERS, days for durations) as the basin's columns
# (hours); the two shares become the layers' fractions.
COLUMNS = [
    "fulda.loss.maximum_deficit", "fulda.loss.constant_rate", "fulda.loss.recovery",
    "fulda.transform.tc", "fulda.transform.storage", "fulda.baseflow.fast.k_duration",
    "fulda.baseflow.slow.k_duration", "fulda.baseflow.fast.gw_fraction",
    "fulda.baseflow.slow.gw_fraction",
]


def model(record: FuldaRecord) -> basin.Basin:
    """The chain as a one-sub-basin model; the columns above set every calibrated value."""
    fulda = basin.Basin(fulda_chain.DAY)
    slow_initial = min(record.observed_m3s) / fulda_chain.CUBIC_METRES_PER_CUBIC_FOOT
    fulda.add_subbasin(
        "fulda", fulda_chain.CATCHMENT_ACRES,
        basin.DeficitAndConstant(0.0, 1.0, 0.0, fulda_chain.DAY),
        basin.Clark(2 * fulda_chain.DAY, fulda_chain.DAY),
        {"fast": baseflow.LinearReservoir(10 * fulda_chain.DAY, 0.0, 0.0,
                                          fulda_chain.FAST_RESERVOIRS),
         "slow": baseflow.LinearReservoir(100 * fulda_chain.DAY, 0.0, slow_initial,
                                          fulda_chain.SLOW_RESERVOIRS)})
    return fulda


def table(population: npt.NDArray[np.float64]) -> npt.NDArray[np.float64]:
    """Rows of chain parameters (S x 9) as rows of the basin's columns."""
    (max_deficit, constant_loss, time_to_dry, tc, storage_r, fast_k, slow_k, share,
     slow_share) = population.T
    hours = 24.0
    return np.ascontiguousarray(np.column_stack([
        max_deficit, constant_loss, time_to_dry * hours, tc * hours, storage_r * hours,
        fast_k * hours, slow_k * hours, share * (1.0 - slow_share), share * slow_share]))


def rain(record: FuldaRecord, snow: tuple[float, float] | None) -> list[float]:
    """The gross rain, through the snow store with a fixed (threshold, melt factor) if given."""
    if snow is None:
        return record.rain_in
    return fulda_chain.snow_store(record.rain_in, record.tmean_c, *snow)


def discharge(record: FuldaRecord, params: Sequence[float],
              snow: tuple[float, float] | None) -> list[float]:
    """Simulated discharge (m3/s) of the basin with calibrated chain parameters."""
    values = [float(v) for v in table(np.array([params]))[0]]
    calibrated = model(record).with_parameters(values, COLUMNS)
    flow = calibrated.run({"fulda": rain(record, snow)})["fulda"].outflow.data
    return [q * fulda_chain.CUBIC_METRES_PER_CUBIC_FOOT for q in flow]


class Job(NamedTuple):
    """What every block of the ensemble needs besides its rows, as plain data that pickles."""

    basin: dict[str, Any]  # Basin.to_dict() of `model`
    rain: list[float]  # gross rain (in/day), through the snow store when there is one
    observed_m3s: list[float]
    calibration: tuple[int, int]
    validation: tuple[int, int]
    flood: tuple[int, int] | None  # the days routed through the reservoir, or none


def job(record: FuldaRecord, snow: tuple[float, float] | None, reservoir: bool) -> Job:
    return Job(model(record).to_dict(), rain(record, snow), record.observed_m3s,
               record.calibration, record.validation, record.flood if reservoir else None)


def evaluate_block(rows: npt.NDArray[np.float64], job: Job,
                   threads: int = 1) -> npt.NDArray[np.float64]:
    """Scores N rows of the basin's columns (N x 9, see `table`) in one run_batch call.

    Each result row holds the KGE of the calibration and validation periods, the volume ratio
    of the calibration period and the reservoir's peak release for the flood days (NaN without
    a flood window or when the dam is overtopped). A member's results do not depend on the
    block it is in nor on `threads`: run_batch gives every member the bits of a single run.
    """
    model = basin.Basin.from_dict(job.basin)
    observed = np.array(job.observed_m3s)
    # The batch's own score covers the whole record; the periods are scored below.
    _, flows = model.run_batch(rows, COLUMNS, {"fulda": job.rain},
                               observed / fulda_chain.CUBIC_METRES_PER_CUBIC_FOOT,
                               threads=threads, outflows=True)
    simulated: npt.NDArray[np.float64] = flows * fulda_chain.CUBIC_METRES_PER_CUBIC_FOOT
    reservoir = fulda_chain.FloodReservoir() if job.flood is not None else None
    (cal_start, cal_stop), (val_start, val_stop) = job.calibration, job.validation
    results = np.full((len(rows), 4), math.nan)
    # fsum rounds once, whatever the order and alignment of the values; over Python floats,
    # it runs faster than over NumPy scalars.
    observed_volume = math.fsum(observed[cal_start:cal_stop].tolist())
    for i, flow in enumerate(simulated):
        results[i, 0] = metrics.calculate_kge(flow[cal_start:cal_stop],
                                              observed[cal_start:cal_stop])
        results[i, 1] = metrics.calculate_kge(flow[val_start:val_stop],
                                              observed[val_start:val_stop])
        results[i, 2] = math.fsum(flow[cal_start:cal_stop].tolist()) / observed_volume
        if reservoir is not None and job.flood is not None:
            start, stop = job.flood
            results[i, 3] = reservoir.peak_release([float(q) for q in flow[start:stop]])
    return results
