"""The one table of the basin's method classes.

Each row holds a small basin using the method at its outlet 'north', the standalone function
that gives that outflow from the same values, lined up by the basin's time axis (docs/basin.md,
"One time axis"), and a batch column with two values. test_basin_method_table.py runs its checks
over every row and fails for a method class of vesparil.basin without one; the memory rows of
the leak test (leak_rows_memory.py) take the constructor calls from here.
"""

from collections import namedtuple
from datetime import timedelta

import vesparil

basin = vesparil.basin
ru = vesparil.reservoir.reservoir_utils
loss = vesparil.rainfall_loss
uh = vesparil.rainfall_transform
et = vesparil.evapotranspiration
I = vesparil.utils.IncrementalTimeSeries  # noqa: E741
C = vesparil.utils.ContinuousTimeSeries

# cls: the class's name in vesparil.basin; arguments: its constructor's, all positional;
# basin: the basin holding the method built from them (`basin(method)`), its outlet 'north';
# forcing: what `run` takes; standalone: north's outflow as `standalone(*arguments)`;
# column, values: a batch column and the two values of its members.
Row = namedtuple("Row", "cls arguments basin forcing standalone column values")

# The event methods, at half-hour steps.
STEP = timedelta(minutes=30)
RAIN = [0.2, 0.8, 0.5, 0.1, 0.0, 0.6, 0.3] + [0.0] * 41
INFLOW = [10.0, 10.0, 40.0, 120.0, 260.0, 300.0, 220.0, 150.0, 90.0, 50.0, 30.0] + [20.0] * 37
AREA = 500.0
CLARK = (timedelta(hours=2), timedelta(hours=1))
CURVE = ru.ElevationStorage([100.0, 104.0, 110.0], [0.0, 1.0e6, 5.0e6])
OUTLETS = {"spillway": ru.UnControlledDischargeInfo(
               ru.ElevationDischarge([100.0, 105.0, 110.0], [0.0, 80.0, 500.0])),
           "pump": ru.ConstantDischargeInfo(2.0, 100.5)}


def rain():
    return I(RAIN, STEP, "rainfall")


def inflow(values=INFLOW):
    return C(values, STEP, "discharge")


def layers():
    return {"fast": vesparil.baseflow.LinearReservoir(timedelta(days=2), 0.4, 1.0)}


def loss_basin(method):
    m = basin.Basin(STEP)
    m.add_subbasin("north", AREA, method, basin.Clark(*CLARK), layers())
    return m


def by_loss(split):
    """Clark's first T values of the excess, plus the baseflow of the loss one value later
    behind the layer's initial flow."""
    direct = uh.run_clark_uh(split.excess, AREA, *CLARK).data[:len(RAIN)]
    total, _ = vesparil.baseflow.run_linear_reservoir(AREA, split.loss, layers())
    return [q + b for q, b in zip(direct, [1.0] + total.data[:-1], strict=True)]


def transform_basin(method):
    m = basin.Basin(STEP)
    m.add_subbasin("north", AREA, None, method)
    return m


def later(hydrograph):
    """A hydrograph whose value k is the flow at (k + 1) dt, one value later on the axis."""
    return [0.0] + hydrograph.data[:len(RAIN) - 1]


def routed(add):
    def make(method):
        m = basin.Basin(STEP)
        m.add_source("up", "north")
        getattr(m, add)("north", method)
        return m

    return make


# The daily methods, over two months across the new year.
DAY = timedelta(days=1)
DAILY_AREA = 1200.0
CFS_PER_MM_DAY_ACRE = 43560.0 / 26334720.0
P = [0.0, 5.0, 12.0, 3.0, 0.0, 0.0, 20.0, 1.0, 0.0, 0.4] * 6
E = [1.5, 2.0, 2.5, 3.0] * 15
TEMPERATURE = [-6.0, -2.0, 1.0, 4.0, -1.0, 6.0, 2.0, 0.0, -3.0, 3.0] * 6
T_MIN = [t - 4.0 for t in TEMPERATURE]
T_MAX = [t + 5.0 + (d % 3) for d, t in enumerate(TEMPERATURE)]
DAYS = [(d + 340) % 366 + 1 for d in range(len(P))]
GR4J = (320.0, -0.8, 70.0, 1.7)
HBV = (0.0, 3.0, 1.1, 0.05, 0.1, 210.0, 0.7, 2.0, 1.2, 15.0, 0.2, 0.1, 0.04, 2.5)


def daily_basin(model, **options):
    m = basin.Basin(DAY)
    m.add_subbasin("north", DAILY_AREA, None, model, **options)
    return m


def cfs(flow):
    """A continuous model's flow (mm/day) as the basin's outflow (cfs)."""
    return [q * DAILY_AREA * CFS_PER_MM_DAY_ACRE for q in flow]


def gr4j_cfs(precipitation, evapotranspiration):
    return cfs(vesparil.lumped.run_gr4j(precipitation, evapotranspiration, *GR4J).flow)


DAILY = {"north": {"precipitation": P, "evapotranspiration": E}}
WITH_TEMPERATURE = {"north": {**DAILY["north"], "temperature": TEMPERATURE}}
MEAN = {"north": {"precipitation": P, "temperature": TEMPERATURE, "day_of_year": DAYS}}
EXTREMES = {"north": {"precipitation": P, "temperature_min": T_MIN, "temperature_max": T_MAX,
                      "day_of_year": DAYS}}
# A snow store stands in front of GR4J; GR4J's columns name its parameters.
SNOW_STORE = lambda store: daily_basin(basin.GR4J(*GR4J, snow=store))  # noqa: E731
# An evapotranspiration method's latitude describes the catchment and is no column: the batch
# column is its model's, and every member reads the series the method made.
PET_METHOD = lambda pet: daily_basin(basin.GR4J(*GR4J), evapotranspiration=pet)  # noqa: E731

ROWS = [
    Row("DeficitAndConstant", (0.3, 1.5, 0.1, timedelta(days=3)), loss_basin, {"north": RAIN},
        lambda *a: by_loss(loss.run_deficit_and_constant(rain(), *a)),
        "north.loss.initial_deficit", (0.1, 0.8)),
    Row("Clark", CLARK, transform_basin, {"north": RAIN},
        lambda *a: uh.run_clark_uh(rain(), AREA, *a).data[:len(RAIN)],
        "north.transform.tc", (1.5, 3.0)),
    Row("Muskingum", (timedelta(hours=2), 0.2, 2), routed("add_reach"), {"up": INFLOW},
        lambda *a: vesparil.reach.run_muskingum_routing(inflow(), *a, INFLOW[0]).data,
        "north.muskingum.k", (1.0, 2.4)),
    Row("LevelPool", (CURVE, OUTLETS, 101.0), routed("add_reservoir"), {"up": INFLOW},
        lambda curve, outlets, start: vesparil.reservoir.run_level_pool_routing(
            inflow(INFLOW[:1] + INFLOW), start, curve, outlets).reservoir_total_outflow.data,
        "north.level_pool.initial_elevation", (100.5, 103.0)),
    Row("CurveNumber", (78.0, 0.1), loss_basin, {"north": RAIN},
        lambda *a: by_loss(loss.run_curve_number(rain(), *a)),
        "north.loss.curve_number", (60.0, 90.0)),
    Row("GreenAmpt", (0.4, 4.3, 0.3, 0.2), loss_basin, {"north": RAIN},
        lambda *a: by_loss(loss.run_green_ampt(rain(), *a)),
        "north.loss.hydraulic_conductivity", (0.1, 0.8)),
    Row("ScsUnitHydrograph", (timedelta(minutes=75), 300.0), transform_basin, {"north": RAIN},
        lambda *a: later(uh.run_scs_uh(rain(), AREA, *a)),
        "north.transform.lag", (0.75, 2.0)),
    Row("Snyder", (2.0, 0.6, 2.5, 1.2), transform_basin, {"north": RAIN},
        lambda *a: later(uh.run_snyder_uh(rain(), AREA, *a)),
        "north.transform.cp", (0.45, 0.7)),
    Row("MuskingumCunge", (20000.0, 0.001, 0.04, 20.0, 2.0), routed("add_reach"), {"up": INFLOW},
        lambda *a: vesparil.reach.run_muskingum_cunge_routing(inflow(), *a).data,
        "north.muskingum_cunge.manning_n", (0.03, 0.06)),
    Row("StorageIndication", (CURVE, OUTLETS, 101.0), routed("add_reservoir"), {"up": INFLOW},
        lambda curve, outlets, start: vesparil.reservoir.run_storage_indication_routing(
            inflow(), start, curve, outlets).reservoir_total_outflow.data,
        "north.storage_indication.initial_elevation", (100.5, 103.0)),
    Row("GR4J", (*GR4J, 0.4), daily_basin, DAILY,
        lambda *a: cfs(vesparil.lumped.run_gr4j(P, E, *a).flow),
        "north.gr4j.x1", (150.0, 500.0)),
    Row("HBV", (*HBV, 0.5, 0.0, 5.0), daily_basin, WITH_TEMPERATURE,
        lambda *a: cfs(vesparil.lumped.run_hbv(P, TEMPERATURE, E, *a).flow),
        "north.hbv.fc", (120.0, 280.0)),
    Row("DegreeDaySnow", (0.5, 3.5, 0.05, 0.1, 12.0), SNOW_STORE, WITH_TEMPERATURE,
        lambda *a: gr4j_cfs(vesparil.snow.run_degree_day_snow(P, TEMPERATURE, *a).outflow, E),
        "north.gr4j.melt_factor", (1.5, 4.5)),
    Row("CemaNeige", (3.5, 0.25, 150.0, [300.0, 650.0, 1100.0], 650.0, -0.5, 0.0003),
        SNOW_STORE, WITH_TEMPERATURE,
        lambda *a: gr4j_cfs(vesparil.snow.run_cemaneige(P, TEMPERATURE, *a).liquid_water, E),
        "north.gr4j.kf", (2.0, 5.0)),
    Row("Oudin", (46.5,), PET_METHOD, MEAN,
        lambda latitude: gr4j_cfs(P, et.calculate_pet_oudin(TEMPERATURE, latitude, DAYS)),
        "north.gr4j.x1", (150.0, 500.0)),
    Row("Hargreaves", (-33.0,), PET_METHOD, EXTREMES,
        lambda latitude: gr4j_cfs(P, et.calculate_pet_hargreaves(T_MIN, T_MAX, latitude, DAYS)),
        "north.gr4j.x1", (150.0, 500.0)),
    Row("Hamon", (61.0,), PET_METHOD, MEAN,
        lambda latitude: gr4j_cfs(P, et.calculate_pet_hamon(TEMPERATURE, latitude, DAYS)),
        "north.gr4j.x1", (150.0, 500.0)),
]
IDS = [row.cls for row in ROWS]


def made(row):
    """The row's basin, holding a new instance of its method."""
    return row.basin(getattr(basin, row.cls)(*row.arguments))
