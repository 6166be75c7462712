"""Fuzz rows of the continuous models: GR4J, HBV, the snow routines and evapotranspiration."""

from hypothesis import strategies as st

import vesparil
from fuzz_arguments import (CELSIUS, MM, cemaneige_runs, counts, daily_runs, float_values,
                            solar_days, vectors)
from fuzz_calls import Call, Get, constructs, floats_list, getters, is_instance_of, p
from fuzz_instances import GR4J_RESULT, HBV_NAMES, HBV_RANGES, HBV_RESULT, SNOW_RESULTS

ROWS = [
    Call("run_gr4j", st.just(vesparil.lumped.run_gr4j),
         [p("precipitation", vectors), p("evapotranspiration", vectors), p("x1", float_values),
          p("x2", float_values), p("x3", float_values), p("x4", float_values),
          p("initial_production", float_values, False), p("initial_routing", float_values, False),
          p("warmup", counts, False)], is_instance_of(vesparil.lumped.GR4JResult),
         joint=daily_runs([(1.0, 2000.0), (-20.0, 20.0), (1.0, 1000.0), (0.5, 30.0)])),
    Call("GR4JResult()", st.just(vesparil.lumped.GR4JResult), [], constructs),
    Call("run_hbv", st.just(vesparil.lumped.run_hbv),
         [p("precipitation", vectors), p("temperature", vectors), p("evapotranspiration", vectors),
          *[p(name, float_values) for name in HBV_NAMES],
          p("initial_soil_moisture", float_values, False),
          p("initial_upper_zone", float_values, False),
          p("initial_lower_zone", float_values, False), p("warmup", counts, False)],
         is_instance_of(vesparil.lumped.HBVResult),
         joint=daily_runs(HBV_RANGES, series=(MM, CELSIUS, MM))),
    Call("HBVResult()", st.just(vesparil.lumped.HBVResult), [], constructs),
    Call("run_degree_day_snow", st.just(vesparil.snow.run_degree_day_snow),
         [p("precipitation", vectors), p("temperature", vectors),
          p("threshold_temperature", float_values), p("melt_factor", float_values),
          p("refreezing_coefficient", float_values), p("water_holding", float_values),
          p("initial_snowpack", float_values, False), p("warmup", counts, False)],
         is_instance_of(vesparil.snow.DegreeDaySnowResult),
         joint=daily_runs([(-3.0, 3.0), (0.0, 10.0), (0.0, 0.2), (0.0, 0.3), (0.0, 500.0)],
                          series=(MM, CELSIUS))),
    Call("DegreeDaySnowResult()", st.just(vesparil.snow.DegreeDaySnowResult), [], constructs),
    Call("run_cemaneige", st.just(vesparil.snow.run_cemaneige),
         [p("precipitation", vectors), p("temperature", vectors), p("kf", float_values),
          p("ctg", float_values), p("mean_annual_snowfall", float_values),
          p("elevations", vectors), p("median_elevation", float_values),
          p("temperature_gradient", float_values, False),
          p("precipitation_gradient", float_values, False), p("warmup", counts, False)],
         is_instance_of(vesparil.snow.CemaNeigeResult), joint=cemaneige_runs()),
    Call("CemaNeigeResult()", st.just(vesparil.snow.CemaNeigeResult), [], constructs),
    *[Get(f"{type(result).__name__}.{name}", st.just(result), name, floats_list)
      for result in SNOW_RESULTS for name in type(result).__dict__ if not name.startswith("_")],
    Call("calculate_extraterrestrial_radiation",
         st.just(vesparil.evapotranspiration.calculate_extraterrestrial_radiation),
         [p("latitude", float_values), p("day_of_year", vectors)], lambda r, t: floats_list(r),
         joint=solar_days(0)),
    Call("calculate_pet_oudin", st.just(vesparil.evapotranspiration.calculate_pet_oudin),
         [p("temperature", vectors), p("latitude", float_values), p("day_of_year", vectors)],
         lambda r, t: floats_list(r), joint=solar_days(1)),
    Call("calculate_pet_hamon", st.just(vesparil.evapotranspiration.calculate_pet_hamon),
         [p("temperature", vectors), p("latitude", float_values), p("day_of_year", vectors)],
         lambda r, t: floats_list(r), joint=solar_days(1)),
    Call("calculate_pet_hargreaves",
         st.just(vesparil.evapotranspiration.calculate_pet_hargreaves),
         [p("temperature_min", vectors), p("temperature_max", vectors),
          p("latitude", float_values), p("day_of_year", vectors)],
         lambda r, t: floats_list(r), joint=solar_days(2)),
    *getters("HBVResult", st.just(HBV_RESULT),
             {name: floats_list for name in vesparil.lumped.HBVResult.__dict__
              if not name.startswith("_")}),
    *getters("GR4JResult", st.just(GR4J_RESULT),
             {name: floats_list for name in ["flow", "production_store", "routing_store",
                                             "unit_hydrograph_store", "actual_evapotranspiration",
                                             "exchange"]}),
]
