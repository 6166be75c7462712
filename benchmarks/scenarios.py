"""The inputs the speed rows share: a storm-laden inflow, wet and dry spells of rain, and a
month-long reservoir case."""

import random
from datetime import timedelta

import numpy as np

import vesparil

HOUR = timedelta(hours=1)
utils = vesparil.utils
rutils = vesparil.reservoir.reservoir_utils

def storm_inflow(n, seed=1):
    rng = random.Random(seed)
    flow = np.full(n, 50.0)
    start = 0
    while start < n:
        peak, rise = rng.uniform(200.0, 5000.0), rng.randint(6, 36)
        j = np.arange(min(rise * 8, n - start))
        flow[start:start + len(j)] += peak * ((j / rise) * np.exp(1.0 - j / rise))
        start += rng.randint(48, 400)
    return flow


def wet_dry_rain(n, seed=2):
    rng = np.random.default_rng(seed)
    rain = np.zeros(n)
    wet = False
    draws = rng.random(n)
    depths = rng.exponential(0.1, n)
    for i in range(n):
        wet = draws[i] < (0.6 if wet else 0.04)
        if wet:
            rain[i] = depths[i]
    return rain


def pool_scenario():
    heights = np.arange(30.0)
    elevation = 100.0 + heights
    storage = 4.0e7 * heights + 5.0e5 * heights * heights
    gate = 40.0 * heights ** 1.5
    crest = np.arange(16.0)
    spill_elevation = 115.0 + crest
    spill = 300.0 * crest ** 1.5
    x = np.arange(744) / 100.0
    inflow = 300.0 + 15000.0 * x ** 3 * np.exp(3.0 * (1.0 - x))
    curve = rutils.ElevationStorage(elevation.tolist(), storage.tolist())
    outlets = {
        "gate": rutils.ControlledDischargeInfo(
            rutils.ElevationDischarge(elevation.tolist(), gate.tolist()), maximum_release=2000.0),
        "spillway": rutils.UnControlledDischargeInfo(
            rutils.ElevationDischarge(spill_elevation.tolist(), spill.tolist())),
        "pump": rutils.ConstantDischargeInfo(100.0, minimum_elevation=102.0),
    }
    series = utils.ContinuousTimeSeries(inflow, HOUR, "discharge")
    return series, curve, outlets, (inflow, elevation, storage, gate, spill_elevation, spill)
