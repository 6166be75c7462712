"""The three models of benchmarks/catchments.py as basin sub-basins, and their calibration.

Every model run goes through `Basin.run_batch`: a calibration is a batched dynamically
dimensioned search (Tolson and Shoemaker 2007), each generation a block of candidates around
the best point evaluated by one `run_batch` call on one thread. The call runs the record up to
the end of the calibration window and scores it itself: `warmup` leaves the warm-up year out,
`missing="omit"` the days without an observed flow.

A parameter set is a point of a search space made of groups of parameters, one per sub-basin
model or reach; each group maps its share of the point to batch columns.
"""

from __future__ import annotations

import math
import time
from datetime import timedelta

import numpy as np

from vesparil import basin, baseflow, metrics

WARMUP = 365
HOURS = 24.0
SNOW_PARAMS = [("kf", 0.0, 10.0, False), ("ctg", 0.0, 1.0, False)]  # CemaNeige


def windows(days: int) -> tuple[slice, slice]:
    """Calibration on the first two thirds of the days after the warm-up, validation after."""
    split = WARMUP + (days - WARMUP) * 2 // 3
    return slice(WARMUP, split), slice(split, days)


class Group:
    """Parameters (name, low, high, log scale) and how they become batch columns."""

    def __init__(self, params, columns, convert=None):
        self.params, self.columns = params, columns
        self.convert = convert or (lambda x: x)

    @property
    def lows(self):
        return [math.log(lo) if log else lo for _, lo, _, log in self.params]

    @property
    def highs(self):
        return [math.log(hi) if log else hi for _, _, hi, log in self.params]

    def values(self, x: np.ndarray) -> np.ndarray:
        x = np.array(x, dtype=float)
        for j, (_, _, _, log) in enumerate(self.params):
            if log:
                x[:, j] = np.exp(x[:, j])
        return self.convert(x)


class Space:
    def __init__(self, groups: list[Group]):
        self.groups = groups
        self.columns = [c for p in groups for c in p.columns]
        self.lows = np.array([v for p in groups for v in p.lows])
        self.highs = np.array([v for p in groups for v in p.highs])

    def table(self, x: np.ndarray) -> np.ndarray:
        """N search points -> the N x C C-contiguous table of run_batch."""
        x, blocks, at = np.atleast_2d(x), [], 0
        for group in self.groups:
            blocks.append(group.values(x[:, at:at + len(group.params)]))
            at += len(group.params)
        return np.ascontiguousarray(np.hstack(blocks))


def gr4j_group(sub: str, with_snow: bool) -> Group:
    params = [("x1", 10.0, 1500.0, False), ("x2", -8.0, 5.0, False), ("x3", 10.0, 500.0, False),
              ("x4", 0.5, 5.0, False)] + (SNOW_PARAMS if with_snow else [])
    return Group(params, [f"{sub}.gr4j.{name}" for name, *_ in params])


HBV_PARAMS = [("tt", -2.5, 2.5), ("cfmax", 0.5, 10.0), ("sfcf", 0.5, 1.5), ("cfr", 0.0, 0.1),
              ("cwh", 0.0, 0.2), ("fc", 50.0, 700.0), ("lp", 0.3, 1.0), ("beta", 1.0, 6.0),
              ("perc", 0.0, 4.0), ("uzl", 0.0, 100.0), ("k0", 0.05, 0.5), ("k1", 0.01, 0.4),
              ("k2", 0.001, 0.15), ("maxbas", 1.0, 7.0)]


def hbv_group(sub: str) -> Group:
    return Group([(n, lo, hi, False) for n, lo, hi in HBV_PARAMS],
                [f"{sub}.hbv.{n}" for n, *_ in HBV_PARAMS])


# The event chain: days in the search space, hours in the columns; the two shares split the
# loss between a fast (two reservoirs) and a slow baseflow layer, the rest leaves the chain.
EVENT_PARAMS = [("maximum_deficit", 0.2, 8.0, False), ("constant_rate", 0.0, 0.05, False),
                ("recovery_days", 1.0, 120.0, False),
                ("tc_days", 1.05, 8.0, False),  # a Clark tc of one day or less loses all runoff
                ("storage_days", 0.5, 10.0, False), ("fast_k_days", 2.0, 40.0, False),
                ("slow_k_days", 40.0, 400.0, False), ("groundwater_share", 0.0, 1.0, False),
                ("slow_share", 0.0, 1.0, False)]


def _event_columns(x: np.ndarray) -> np.ndarray:
    deficit, rate, recovery, tc, storage, fast_k, slow_k, share, slow = x.T
    return np.column_stack([deficit, rate, recovery * HOURS, tc * HOURS, storage * HOURS,
                            fast_k * HOURS, share * (1.0 - slow), slow_k * HOURS, share * slow])


def event_group(sub: str, with_snow: bool) -> Group:
    """The chain's parameters, and its CemaNeige front's kf and ctg where it has one."""
    columns = [f"{sub}.loss.maximum_deficit", f"{sub}.loss.constant_rate", f"{sub}.loss.recovery",
               f"{sub}.transform.tc", f"{sub}.transform.storage",
               f"{sub}.baseflow.fast.k_duration", f"{sub}.baseflow.fast.gw_fraction",
               f"{sub}.baseflow.slow.k_duration", f"{sub}.baseflow.slow.gw_fraction"]
    if not with_snow:
        return Group(EVENT_PARAMS, columns, _event_columns)
    return Group(EVENT_PARAMS + SNOW_PARAMS, columns + [f"{sub}.snow.kf", f"{sub}.snow.ctg"],
                lambda x: np.hstack([_event_columns(x[:, :-2]), x[:, -2:]]))


def _reach_columns(x: np.ndarray) -> np.ndarray:
    k, share = x.T
    # The basin refuses 2 k x > the step (24 h): x runs over [0, min(0.5, 12 h / k)].
    return np.column_stack([k, share * np.minimum(0.5, 12.0 / k)])


def reach_group(reach: str) -> Group:
    return Group([("k_hours", 1.0, 48.0, False), ("x_share", 0.0, 1.0, False)],
                [f"{reach}.muskingum.k", f"{reach}.muskingum.x"], _reach_columns)


def one_band(record) -> dict:
    """CemaNeige on one band where the record gives no hypsometry (the gradients then play
    no role); the mean annual snowfall from the record, with CemaNeige's own solid share (1 at
    -1 deg C and below, 0 at 3 deg C and above, linear between)."""
    solid = np.clip(1.0 - (record.temperature + 1.0) / 4.0, 0.0, 1.0)
    years = record.days / 365.25
    return {"elevations": [0.0], "median_elevation": 0.0,
            "mean_annual_snowfall": float(np.sum(solid * record.precipitation) / years)}


def cemaneige(record):
    """The record's CemaNeige store (kf and ctg to be calibrated); None without a temperature or
    where no precipitation of the record falls as snow (the store would only pass it on)."""
    if record.temperature is None:
        return None
    bands = record.snow or one_band(record)
    if bands["mean_annual_snowfall"] <= 0.0:
        return None
    return basin.CemaNeige(3.0, 0.25, bands["mean_annual_snowfall"], bands["elevations"],
                           bands["median_elevation"])


def add_model(model: str, b: basin.Basin, sub: str, record, area: float, downstream=None,
              lowest_flow: float = 0.0):
    """Adds the sub-basin; returns its forcing entry and its group of the search space."""
    store = cemaneige(record)
    forcing = record.forcing()
    # The PET of the Fulda and lumod's records is made by the basin from the temperature
    # (Oudin); the others' is given.
    pet = None if record.oudin_latitude is None else basin.Oudin(record.oudin_latitude)
    if model == "GR4J":
        b.add_subbasin(sub, area, None, basin.GR4J(350.0, 0.0, 90.0, 1.7, snow=store),
                       downstream=downstream, evapotranspiration=pet)
        return forcing, gr4j_group(sub, store is not None)
    if model == "HBV":
        b.add_subbasin(sub, area, None, basin.HBV(*[lo for _, lo, _ in HBV_PARAMS]),
                       downstream=downstream, evapotranspiration=pet)
        if record.temperature is None:  # no snow without a temperature: a constant 10 deg C
            forcing["temperature"] = np.full(record.days, 10.0)
        return forcing, hbv_group(sub)
    # The event chain behind the basin's daily front: CemaNeige's liquid water (or the
    # precipitation) less the day's PET, floored at 0, in inches to the loss.
    layers = {"fast": baseflow.LinearReservoir(timedelta(days=10), 0.2, 0.0, 2),
              "slow": baseflow.LinearReservoir(timedelta(days=100), 0.2, lowest_flow, 1)}
    b.add_subbasin(sub, area, basin.DeficitAndConstant(0.0, 2.0, 0.01, timedelta(days=10)),
                   basin.Clark(timedelta(days=2), timedelta(days=2)), baseflow=layers,
                   downstream=downstream, snow=store, evapotranspiration=pet)
    return forcing, event_group(sub, store is not None)


def window_index(observed: np.ndarray, window: slice) -> np.ndarray:
    inside = np.zeros(len(observed), dtype=bool)
    inside[window] = True
    return np.flatnonzero(inside & ~np.isnan(observed))


def calibrate(b: basin.Basin, space: Space, forcing, observed, window, evaluations, seed,
              at=None, block=16):
    """Batched DDS maximising KGE on the window; returns (best table row, KGE, evals/s)."""
    cut = lambda series: np.ascontiguousarray(series[:window.stop])
    forcing = {name: {k: cut(v) for k, v in entry.items()} if isinstance(entry, dict)
               else cut(entry) for name, entry in forcing.items()}
    target = cut(observed)

    def score(points):
        values = np.array(b.run_batch(space.table(points), space.columns, forcing, target, at=at,
                                      threads=1, missing="omit", warmup=window.start))
        return np.where(np.isfinite(values), values, -np.inf)

    rng = np.random.default_rng(seed)
    lows, highs = space.lows, space.highs
    span = highs - lows
    start = time.perf_counter()
    points = lows + rng.random((2 * block, len(lows))) * span
    values = score(points)
    best, best_value, done = points[np.argmax(values)], float(np.max(values)), len(points)
    while done < evaluations:
        n = min(block, evaluations - done)
        share = 1.0 - math.log(done) / math.log(evaluations)
        chosen = rng.random((n, len(lows))) < share
        none = ~chosen.any(axis=1)
        chosen[none, rng.integers(0, len(lows), none.sum())] = True
        trial = best + chosen * (0.2 * span * rng.standard_normal((n, len(lows))))
        trial = np.where(trial < lows, lows + (lows - trial), trial)  # reflect, then clip
        trial = np.where(trial > highs, highs - (trial - highs), trial)
        trial = np.clip(trial, lows, highs)
        values = score(trial)
        if np.max(values) >= best_value:
            best, best_value = trial[np.argmax(values)], float(np.max(values))
        done += n
    rate = done / (time.perf_counter() - start)
    return space.table(best)[0], best_value, rate


def scores(simulated, observed, window) -> tuple[float, float, float]:
    """KGE, NSE and volume ratio on the window, days without an observed flow left out."""
    index = window_index(observed, window)
    sim, obs = np.asarray(simulated)[index], observed[index]
    kge = metrics.calculate_kge(sim, obs)
    nse = metrics.calculate_nse(sim, obs)
    return kge, nse, float(np.sum(sim) / np.sum(obs))
