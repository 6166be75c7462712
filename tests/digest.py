"""Prints a SHA-256 digest of every model's output on fixed inputs.

The test runner compares the digests of two builds (different interpreters and compilers): equal
digests mean the builds agree to the last bit.
"""

import hashlib
import math
import struct
from datetime import timedelta

import vesparil

HOUR = timedelta(hours=1)


def series(count, seed, scale, dry_every=0):
    """Deterministic pseudo-random values (a linear congruential generator)."""
    state = seed
    values = []
    for i in range(count):
        state = (state * 6364136223846793005 + 1442695040888963407) % 2**64
        value = (state >> 11) / 2**53 * scale
        values.append(0.0 if dry_every and i % dry_every else value)
    return values


def digest(values):
    return hashlib.sha256(struct.pack(f"<{len(values)}d", *values)).hexdigest()[:16]


def rows():
    """(name, values) of every computing entry's output; each name starts with the entry's row
    name in entries.py."""
    u = vesparil.utils
    rain = u.IncrementalTimeSeries(series(500, 1, 0.8, dry_every=3), HOUR, "rainfall")
    loss = vesparil.rainfall_loss.run_deficit_and_constant(rain, 0.2, 1.3, 0.07, timedelta(days=2))
    runoff = vesparil.rainfall_transform.run_clark_uh(
        loss.excess, 1234.5, timedelta(hours=7, minutes=20), timedelta(hours=5))
    routed = vesparil.reach.run_muskingum_routing(runoff, timedelta(hours=4), 0.23, 4, 1.0)
    cunge = [vesparil.reach.run_muskingum_cunge_routing(
        runoff, 60000.0, 0.0007, 0.04, 35.0, 1.5, reference).data for reference in (None, 800.0)]
    layers = {
        "a": vesparil.baseflow.LinearReservoir(timedelta(hours=30), 0.3, 0.5, 3),
        "b": vesparil.baseflow.LinearReservoir(timedelta(hours=200), 0.45, 1.5, 2),
    }
    total, by_layer = vesparil.baseflow.run_linear_reservoir(1234.5, loss.loss, layers)
    rows = [
        ("run_deficit_and_constant excess", loss.excess.data),
        ("run_deficit_and_constant loss", loss.loss.data),
        ("run_deficit_and_constant deficit", loss.deficit.data),
        ("run_clark_uh", runoff.data),
        ("run_muskingum_routing", routed.data),
        ("run_muskingum_cunge_routing variable", cunge[0]),
        ("run_muskingum_cunge_routing constant", cunge[1]),
        ("run_linear_reservoir total", total.data),
    ] + [(f"run_linear_reservoir {name}", s.data) for name, s in by_layer.items()]
    cn = vesparil.rainfall_loss.run_curve_number(rain, 72.5, 0.05, 3)
    rows += [("run_curve_number excess", cn.excess.data), ("run_curve_number loss", cn.loss.data)]
    ga = vesparil.rainfall_loss.run_green_ampt(rain, 0.17, 6.6, 0.31, 0.05)
    rows += [("run_green_ampt excess", ga.excess.data), ("run_green_ampt loss", ga.loss.data)]
    rows += [(f"run_scs_uh {prf}", vesparil.rainfall_transform.run_scs_uh(
        cn.excess, 1234.5, timedelta(hours=3, minutes=10), prf).data) for prf in (484.0, 355.0)]
    rows.append(("run_snyder_uh", vesparil.rainfall_transform.run_snyder_uh(
        cn.excess, 1234.5, 1.7, 0.62, 4.3, 2.1).data))
    rows.append(("run_snyder_uh small watershed", vesparil.rainfall_transform.run_snyder_uh(
        cn.excess, 1234.5, 1.7, 0.62, 4.3, 2.1, time_base="small_watershed").data))
    for step in (None, timedelta(minutes=20)):
        made = vesparil.rainfall_transform.calculate_snyder_parameters(
            1234.5, 1.7, 0.62, 4.3, 2.1, step, time_base="small_watershed")
        rows.append((f"calculate_snyder_parameters {step}", [
            made.lag, made.standard_duration, made.duration, made.adjusted_lag, made.peak_rate,
            made.peak_time, made.peak_discharge, made.w50, made.w75, made.time_base,
            *(x for point in made.sketch for x in point)]))
    rows.append(("IncrementalTimeSeries.disaggregate", rain.disaggregate(720).data))

    ru = vesparil.reservoir.reservoir_utils
    curve = ru.ElevationStorage([100.0 + i for i in range(30)],
                                [i * i * 5.0e4 + i * 1.0e3 for i in range(30)])
    outlets = {
        "gate": ru.ControlledDischargeInfo(
            ru.ElevationDischarge([100.0, 110.0, 129.0], [0.0, 90.0, 400.0]),
            maximum_release=300.0),
        "spill": ru.UnControlledDischargeInfo(
            ru.ElevationDischarge([112.0, 115.0, 129.0], [0.0, 100.0, 3000.0])),
        "pass": ru.ConstantDischargeInfo(3.0, minimum_elevation=101.0),
    }
    inflow = u.ContinuousTimeSeries([q * 20.0 + 5.0 for q in routed.data[:120]], HOUR, "discharge")
    pool = vesparil.reservoir.run_level_pool_routing(inflow, 104.3, curve, outlets)
    rows += [
        ("run_level_pool_routing storage", pool.reservoir_storage.data),
        ("run_level_pool_routing elevation", pool.reservoir_elevation.data),
        ("run_level_pool_routing outflow", pool.reservoir_total_outflow.data),
    ] + [(f"run_level_pool_routing {name}", s.data)
         for name, s in pool.reservoir_individual_outflows.items()]
    indicated = vesparil.reservoir.run_storage_indication_routing(
        inflow, 104.3, curve, outlets)
    rows += [
        ("run_storage_indication_routing storage", indicated.reservoir_storage.data),
        ("run_storage_indication_routing elevation", indicated.reservoir_elevation.data),
    ] + [(f"run_storage_indication_routing {name}", s.data)
         for name, s in indicated.reservoir_individual_outflows.items()]
    levels = [100.0 + 0.37 * i for i in range(78)]
    rows.append(("ElevationStorage.get_storage", [curve.get_storage(h) for h in levels]))
    rows.append(("ElevationStorage.get_elevation",
                 [curve.get_elevation(v) for v in pool.reservoir_storage.data]))

    observed = [q * 1.1 + 0.3 for q in routed.data]
    kge = [vesparil.metrics.calculate_kge(routed.data, observed),
           vesparil.metrics.calculate_kge(routed.data, observed, use_log=True)]
    rows.append(("calculate_kge", kge))
    m = vesparil.metrics
    gappy = [q if i % 11 else float("nan") for i, q in enumerate(observed)]
    members = [routed.data, runoff.data[: len(routed.data)], observed]
    rows += [
        ("calculate_nse ensemble, omit", m.calculate_nse(members, gappy, missing="omit")),
        ("calculate_nse log", m.calculate_nse(members, gappy, True, missing="omit")),
        ("calculate_kge_components 2009", [
            x for c in m.calculate_kge_components(members, observed)
            for x in (c.kge, c.r, c.variability, c.bias)]),
        ("calculate_kge_components 2012", [
            x for c in m.calculate_kge_components(members, observed, variant="2012")
            for x in (c.kge, c.r, c.variability, c.bias)]),
    ] + [(f.__name__, [f(routed.data, gappy, missing="omit")]) for f in (
        m.calculate_pbias, m.calculate_rmse, m.calculate_mae, m.calculate_pearson_r)]

    b = vesparil.basin
    model = b.Basin(HOUR)
    model.add_subbasin("north", 1234.5, b.DeficitAndConstant(0.2, 1.3, 0.07, timedelta(days=2)),
                       b.Clark(timedelta(hours=7, minutes=20), timedelta(hours=5)), layers, "reach")
    model.add_reach("reach", b.Muskingum(timedelta(hours=4), 0.23, 4), "pool")
    model.add_reservoir("pool", b.LevelPool(curve, outlets, 104.3))
    run = model.run({"north": rain})
    rows += [(f"Basin.run {name}", run[name].outflow.data) for name in run.names]
    rows.append(("BasinRun.summary", [value for row in run.summary().values()
                                      for value in row.values() if type(value) is float]))
    # A memoryview stands for the parameter table, so the digest needs no NumPy.
    table = [[0.1 * i, 2.0 + 0.5 * i, 0.5 + 0.1 * i] for i in range(6)]
    parameters = memoryview(struct.pack("<18d", *sum(table, []))).cast("B").cast("d", (6, 3))
    columns = ["north.loss.initial_deficit", "north.transform.tc", "reach.muskingum.k"]
    observed = [q * 1.1 + 0.3 for q in run["pool"].outflow.data]
    for metric in ("kge", "nse"):
        scores, outflows = model.run_batch(parameters, columns, {"north": rain}, observed,
                                           metric=metric, threads=2, outflows=True)
        rows += [(f"Basin.run_batch {metric}", scores),
                 (f"Basin.run_batch {metric} flows", list(memoryview(outflows).cast("B").cast("d")))]
        gappy = [math.nan if i % 11 == 3 else q for i, q in enumerate(observed)]
        rows.append((f"Basin.run_batch {metric} omit warmup", model.run_batch(
            parameters, columns, {"north": rain}, gappy, metric=metric, threads=2,
            missing="omit", warmup=5)))

    event = b.Basin(HOUR)
    event.add_subbasin("north", 1234.5, b.CurveNumber(77.5, 0.05),
                       b.ScsUnitHydrograph(timedelta(hours=3, minutes=10)), layers, "reach")
    event.add_subbasin("south", 456.7, b.GreenAmpt(0.3, 6.6, 0.25),
                       b.Snyder(1.9, 0.62, 3.1, 1.4), {}, "reach")
    event.add_reach("reach", b.MuskingumCunge(30000.0, 0.0007, 0.037, 35.0, 1.5), "pool")
    event.add_reservoir("pool", b.StorageIndication(curve, outlets, 104.3))
    run = event.run({"north": rain, "south": rain})
    rows += [(f"Basin.run event methods {name}", run[name].outflow.data) for name in run.names]
    rain_mm = [x * 25.4 for x in series(1500, 3, 1.2, dry_every=2)]
    pet_mm = series(1500, 5, 4.0)
    gr4j = vesparil.lumped.run_gr4j(rain_mm, pet_mm, 320.0, -1.2, 75.0, 2.3, warmup=100)
    rows += [(f"run_gr4j {name}", getattr(gr4j, name)) for name in
             ["flow", "production_store", "routing_store", "unit_hydrograph_store",
              "actual_evapotranspiration", "exchange"]]
    temperature = [t * 30.0 - 12.0 for t in series(1500, 9, 1.0)]
    hbv = vesparil.lumped.run_hbv(rain_mm, temperature, pet_mm, 0.5, 3.2, 1.15, 0.05, 0.1, 180.0,
                                  0.75, 2.2, 1.4, 18.0, 0.25, 0.09, 0.04, 3.4, warmup=100)
    rows += [(f"run_hbv {name}", getattr(hbv, name)) for name in
             ["flow", "snowpack", "snow_water", "soil_moisture", "upper_zone", "lower_zone",
              "routing_store", "actual_evapotranspiration", "recharge", "snowfall"]]
    degree_day = vesparil.snow.run_degree_day_snow(rain_mm, temperature, 0.3, 3.1, 0.05, 0.12,
                                                   warmup=50)
    rows += [(f"run_degree_day_snow {name}", getattr(degree_day, name)) for name in
             ["outflow", "snowpack", "snow_water", "snowfall", "melt"]]
    cemaneige = vesparil.snow.run_cemaneige(rain_mm, temperature, 3.7, 0.35, 180.0,
                                            [420.0, 610.0, 880.0, 1320.0, 2050.0], 880.0)
    rows += [(f"run_cemaneige {name}", getattr(cemaneige, name)) for name in
             ["liquid_water", "snowpack", "melt", "snowfall", "thermal_state"]]
    et = vesparil.evapotranspiration
    days = [float(d % 366 + 1) for d in range(731)]
    warm = [t * 40.0 - 15.0 for t in series(731, 13, 1.0)]
    spread = [t * 15.0 for t in series(731, 17, 1.0)]
    for latitude in (-41.3, 0.0, 52.5, 78.2):
        rows += [
            (f"calculate_extraterrestrial_radiation {latitude}",
             et.calculate_extraterrestrial_radiation(latitude, days)),
            (f"calculate_pet_oudin {latitude}", et.calculate_pet_oudin(warm, latitude, days)),
            (f"calculate_pet_hamon {latitude}", et.calculate_pet_hamon(warm, latitude, days)),
            (f"calculate_pet_hargreaves {latitude}", et.calculate_pet_hargreaves(
                warm, [t + s for t, s in zip(warm, spread)], latitude, days)),
        ]
    daily = b.Basin(timedelta(days=1))
    daily.add_subbasin("north", 1234.5, None, b.GR4J(320.0, -1.2, 75.0, 2.3), {}, "out")
    daily.add_subbasin("south", 456.7, None, b.HBV(0.5, 3.2, 1.15, 0.05, 0.1, 180.0, 0.75, 2.2,
                                                   1.4, 18.0, 0.25, 0.09, 0.04, 3.4), {}, "out")
    daily.add_junction("out")
    run = daily.run({"north": {"precipitation": rain_mm, "evapotranspiration": pet_mm},
                     "south": {"precipitation": rain_mm, "temperature": temperature,
                               "evapotranspiration": pet_mm}})
    rows += [(f"Basin.run continuous models {name}", run[name].outflow.data)
             for name in run.names]
    fronted = b.Basin(timedelta(days=1))
    bands = b.CemaNeige(3.1, 0.3, 220.0, [350.0, 800.0, 1400.0], 800.0)
    fronted.add_subbasin("north", 1234.5, None, b.GR4J(320.0, -1.2, 75.0, 2.3, snow=bands), {},
                         "out")
    fronted.add_subbasin("south", 321.0, b.CurveNumber(74.0),
                         b.Clark(timedelta(days=2), timedelta(days=3)), {}, "out", bands)
    fronted.add_junction("out")
    daily_forcing = {"precipitation": rain_mm, "temperature": temperature,
                     "evapotranspiration": pet_mm}
    run = fronted.run({"north": daily_forcing, "south": daily_forcing})
    rows += [(f"Basin.run snow stores {name}", run[name].outflow.data) for name in run.names]
    by_temperature = b.Basin(timedelta(days=1))
    by_temperature.add_subbasin("north", 1234.5, None, b.GR4J(320.0, -1.2, 75.0, 2.3), {}, "out",
                                evapotranspiration=b.Oudin(46.2))
    by_temperature.add_subbasin("south", 456.7, None, b.HBV(0.5, 3.2, 1.15, 0.05, 0.1, 180.0,
                                                            0.75, 2.2, 1.4, 18.0, 0.25, 0.09,
                                                            0.04, 3.4), {}, "out",
                                evapotranspiration=b.Hargreaves(-35.7))
    by_temperature.add_subbasin("west", 321.0, b.CurveNumber(74.0),
                                b.Clark(timedelta(days=2), timedelta(days=3)), {}, "out", bands,
                                evapotranspiration=b.Hamon(61.4))
    by_temperature.add_junction("out")
    year = [float(d % 366 + 1) for d in range(1500)]
    extremes = {"temperature_min": [t - 4.5 for t in temperature],
                "temperature_max": [t + 6.0 for t in temperature]}
    pet_forcing = {"north": {"precipitation": rain_mm, "temperature": temperature,
                             "day_of_year": year},
                   "south": {"precipitation": rain_mm, "temperature": temperature,
                             "day_of_year": year, **extremes},
                   "west": {"precipitation": rain_mm, "temperature": temperature,
                            "day_of_year": year}}
    run = by_temperature.run(pet_forcing)
    rows += [(f"Basin.run PET methods {name}", run[name].outflow.data)
             for name in run.names]
    return rows


def main():
    for name, values in rows():
        print(f"{name:<36} {len(values):6d} {digest(values)}")


if __name__ == "__main__":
    main()
