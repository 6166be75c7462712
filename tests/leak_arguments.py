"""What the leak tests' rows share: their data, the panic's name and the arguments they get."""

import types
from datetime import timedelta

import numpy as np

HOUR = timedelta(hours=1)
DATA = [float(i) * 0.5 for i in range(16)]
HBV_PARAMETERS = [0.0, 3.0, 1.1, 0.05, 0.1, 200.0, 0.7, 2.0, 1.5, 20.0, 0.2, 0.1, 0.05, 2.5]
PANIC = "PanicException"


def _vesparil():
    import vesparil

    return vesparil


def _rain():
    return _vesparil().utils.IncrementalTimeSeries([0.0, 0.4, 0.9, 0.1, 0.0, 0.0], HOUR, "rainfall")


def _flow():
    return _vesparil().utils.ContinuousTimeSeries(DATA, HOUR, "discharge")


def _layers(count=2):
    lr = _vesparil().baseflow.LinearReservoir
    return {f"layer{i}": lr(timedelta(hours=10 + i), 0.3, 1.0, 2) for i in range(count)}


def _pool_args():
    ru = _vesparil().reservoir.reservoir_utils
    curve = ru.ElevationStorage([100.0, 105.0, 110.0], [0.0, 5.0e5, 2.0e6])
    outlets = {
        "gate": ru.ControlledDischargeInfo(ru.ElevationDischarge([100.0, 110.0], [0.0, 50.0])),
        "weir": ru.UnControlledDischargeInfo(ru.ElevationDischarge([104.0, 110.0], [0.0, 400.0])),
        "pass": ru.ConstantDischargeInfo(1.0),
        "plan": ru.SpecifiedDischargeInfo(
            _vesparil().utils.ContinuousTimeSeries([2.0, 3.0, 2.0], timedelta(minutes=1), "discharge")),
    }
    inflow = _vesparil().utils.ContinuousTimeSeries([10.0, 30.0, 20.0], timedelta(seconds=40), "discharge")
    return [inflow, 102.0, curve, outlets]


def _basin():
    v = _vesparil()
    b = v.basin.Basin(HOUR)
    b.add_subbasin("north", 640.0, v.basin.DeficitAndConstant(0.5, 2.0, 0.15, timedelta(days=5)),
                   v.basin.Clark(timedelta(hours=3), timedelta(hours=2)), _layers(), "channel")
    b.add_reach("channel", v.basin.Muskingum(HOUR, 0.2, 2), "pool")
    pool = _pool_args()
    b.add_reservoir("pool", v.basin.LevelPool(pool[2], {"weir": pool[3]["weir"]}, 100.0))
    return b


def _event_basin():
    v = _vesparil()
    b = v.basin.Basin(HOUR)
    b.add_subbasin("north", 640.0, v.basin.CurveNumber(75.0),
                   v.basin.ScsUnitHydrograph(timedelta(hours=2)), _layers(), "channel")
    b.add_subbasin("south", 320.0, v.basin.GreenAmpt(0.4, 4.3, 0.3),
                   v.basin.Snyder(2.0, 0.6, 2.0, 1.0), {}, "channel")
    b.add_reach("channel", v.basin.MuskingumCunge(2e4, 1e-3, 0.04, 20.0, 2.0), "pool")
    pool = _pool_args()
    b.add_reservoir("pool", v.basin.StorageIndication(pool[2], {"weir": pool[3]["weir"]}, 100.0))
    return b


def _lumped_basin():
    v = _vesparil()
    b = v.basin.Basin(timedelta(days=1))
    b.add_subbasin("gr", 640.0, None, v.basin.GR4J(300.0, 0.5, 80.0, 1.7), {}, "out")
    snow = v.basin.DegreeDaySnow(0.0, 3.0, 0.05, 0.1, 5.0)
    b.add_subbasin("sn", 100.0, None, v.basin.GR4J(300.0, 0.5, 80.0, 1.7, snow=snow), {}, "out")
    b.add_subbasin("hb", 320.0, None, v.basin.HBV(*HBV_PARAMETERS), {}, "out")
    bands = v.basin.CemaNeige(3.0, 0.4, 150.0, [300.0, 700.0], 500.0)
    b.add_subbasin("cn", 50.0, None, v.basin.GR4J(300.0, 0.5, 80.0, 1.7, snow=bands), {}, "out")
    day = timedelta(days=1)
    b.add_subbasin("fr", 80.0, v.basin.CurveNumber(75.0), v.basin.Clark(day, day), {}, "out",
                   bands)
    b.add_junction("out")
    return b


def _pet_basin():
    v = _vesparil()
    b = v.basin.Basin(timedelta(days=1))
    b.add_subbasin("gr", 640.0, None, v.basin.GR4J(300.0, 0.5, 80.0, 1.7), {}, "out",
                   evapotranspiration=v.basin.Oudin(45.0))
    b.add_subbasin("hb", 320.0, None, v.basin.HBV(*HBV_PARAMETERS), {}, "out",
                   evapotranspiration=v.basin.Hargreaves(-20.0))
    day = timedelta(days=1)
    b.add_subbasin("fr", 80.0, v.basin.CurveNumber(75.0), v.basin.Clark(day, day), {}, "out",
                   evapotranspiration=v.basin.Hamon(60.0))
    b.add_junction("out")
    return b



def arguments():
    """Fresh arguments for the rows of EVERY_ENTRY, as attributes."""
    v = _vesparil()
    ru = v.reservoir.reservoir_utils
    o = types.SimpleNamespace(
        v=v, ru=ru, C=v.utils.ContinuousTimeSeries, I=v.utils.IncrementalTimeSeries,
        musk=v.reach.run_muskingum_routing, level_pool=v.reservoir.run_level_pool_routing,
        clark=v.rainfall_transform.run_clark_uh, deficit=v.rainfall_loss.run_deficit_and_constant,
        baseflow=v.baseflow.run_linear_reservoir, LR=v.baseflow.LinearReservoir,
        kge=v.metrics.calculate_kge, cn=v.rainfall_loss.run_curve_number,
        scs=v.rainfall_transform.run_scs_uh,
        indication=v.reservoir.run_storage_indication_routing,
        cunge=v.reach.run_muskingum_cunge_routing, ga=v.rainfall_loss.run_green_ampt,
        snyder=v.rainfall_transform.run_snyder_uh, m=v.metrics)
    o.data = list(DATA)
    o.array = np.array(DATA) + 0.5  # owns its data, so it can be resized
    o.other_array = np.array(DATA) * 2.0 + 1.0
    o.short_array = np.zeros(3)
    o.rows = np.array([DATA, DATA[::-1]])
    o.scores = np.zeros(2)
    o.gappy = list(DATA[:-1]) + [float("nan")]
    o.components = v.metrics.calculate_kge_components(o.data, o.gappy, missing="omit")
    o.hour = timedelta(hours=1)
    o.flow = v.utils.ContinuousTimeSeries(o.data, o.hour, "discharge")
    o.empty_flow = v.utils.ContinuousTimeSeries([], o.hour, "discharge")
    o.rain = _rain()
    o.curve = ru.ElevationStorage([100.0, 105.0, 110.0], [0.0, 5.0e5, 2.0e6])
    o.rating = ru.ElevationDischarge([100.0, 110.0], [0.0, 50.0])
    o.constant = ru.ConstantDischargeInfo(1.0, 99.0)
    o.specified = ru.SpecifiedDischargeInfo(o.flow, None, 120.0, 4.0)
    o.controlled = ru.ControlledDischargeInfo(o.rating, 101.0, None, 30.0)
    o.uncontrolled = ru.UnControlledDischargeInfo(o.rating, -0.5)
    o.spillway = ru.UnControlledDischargeInfo(o.rating)
    o.pool = _pool_args()
    o.pool_result = v.reservoir.run_level_pool_routing(*o.pool)
    o.layers = _layers()
    o.layer = o.layers["layer0"]
    o.loss = v.rainfall_loss.run_deficit_and_constant(o.rain, 0.2, 1.0, 0.1, o.hour)
    o.B = v.basin
    o.basin = _basin()
    o.forcing = {"north": o.rain}
    o.basin_run = o.basin.run(o.forcing)
    o.table = np.array([[0.2, 2.0], [0.4, 3.0], [0.1, 1.5]])
    o.columns = ["north.loss.initial_deficit", "north.transform.tc"]
    o.observed = np.array(o.basin_run["pool"].outflow.data) + 1.0
    o.plain = o.basin.to_dict()
    # Made once: under the debug interpreter NumPy's own total grows with each new array.
    o.rain_array = o.array[:6] * 0.1
    o.elevations = o.array * 100.0
    o.event_basin = _event_basin()
    o.event_columns = ["north.loss.curve_number", "north.transform.lag"]
    o.event_forcing = {"north": o.rain, "south": o.rain}
    o.cn_result = o.cn(o.rain, 80.0)
    o.ga_result = o.ga(o.rain, 0.1, 4.0, 0.3)
    o.gr4j = v.lumped.run_gr4j
    o.gr4j_result = o.gr4j(o.array, o.other_array, 300.0, 0.5, 80.0, 1.7)
    o.hbv = v.lumped.run_hbv
    o.et = v.evapotranspiration
    o.snow = v.snow
    o.degree_day = o.snow.run_degree_day_snow(o.array, o.other_array - 8.0, 0.0, 3.0, 0.05, 0.1)
    o.cemaneige = o.snow.run_cemaneige(o.array, o.other_array - 8.0, 3.0, 0.4, 150.0,
                                       o.other_array * 100.0, 500.0)
    o.days = o.array + 99.5
    o.hbv_result = o.hbv(o.array, o.other_array - 5.0, o.array, *HBV_PARAMETERS)
    o.lumped_basin = _lumped_basin()
    # Arrays of their own: the dict holds them past the call, and the check below resizes
    # o.array and o.other_array.
    o.daily = (o.days - 99.0, o.elevations * 0.01, o.days - 100.0)
    o.lumped_forcing = {"gr": {"precipitation": o.daily[0], "evapotranspiration": o.daily[1]},
                        "hb": {"precipitation": o.daily[0], "temperature": o.daily[2],
                               "evapotranspiration": o.daily[1]}}
    o.lumped_forcing["sn"] = o.lumped_forcing["cn"] = o.lumped_forcing["fr"] = \
        o.lumped_forcing["hb"]
    o.pet_basin = _pet_basin()
    o.pet_forcing = {
        "gr": {"precipitation": o.daily[0], "temperature": o.daily[2], "day_of_year": o.days},
        "hb": {"precipitation": o.daily[0], "temperature": o.daily[2],
               "temperature_min": o.daily[2], "temperature_max": o.daily[0],
               "day_of_year": o.days},
        "fr": {"precipitation": o.daily[0], "temperature": o.daily[2], "day_of_year": o.days}}
    return o

