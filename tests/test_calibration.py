"""Calibration and ensemble runs of the Fulda chain of examples/ (real data from spotpy's wheel)."""

import sys
from pathlib import Path

import pytest

pytest.importorskip("numpy", reason="the calibration examples need numpy (pip install numpy)")
pytest.importorskip("scipy", reason="the calibration examples need scipy (pip install scipy)")
pytest.importorskip("spotpy", reason="the Fulda record ships inside spotpy (pip install spotpy)")

import numpy as np  # noqa: E402

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "examples"))
import calibrate_fulda  # noqa: E402
import ensemble_dask  # noqa: E402
import fulda_basin  # noqa: E402
import fulda_chain  # noqa: E402


@pytest.fixture(scope="module")
def record():
    return fulda_chain.load_fulda()


def test_short_calibration_improves_on_its_initial_population_and_repeats(record):
    seed = 5
    population = ensemble_dask.latin_hypercube(20, seed)
    objective = calibrate_fulda.calibration_objective(record)
    best_initial = max(1.0 - objective(params) for params in population)

    runs = [calibrate_fulda.calibrate(record, seed, maxiter=4, popsize=1,
                                      init=np.array(population)) for _ in range(2)]

    assert runs[0].kge > best_initial
    assert runs[0].kge == 1.0 - objective(runs[0].params)
    assert (runs[1].params, runs[1].kge) == (runs[0].params, runs[0].kge)


@pytest.mark.parametrize("engine", ["dask", "threads"])
def test_parallel_ensemble_equals_serial_runs_bit_for_bit(record, engine):
    table = fulda_basin.table(ensemble_dask.latin_hypercube(6, 11, snow=False))
    job = ensemble_dask.make_job(record, reservoir=True)
    serial = ensemble_dask.run_serial(table, job)

    if engine == "dask":
        pytest.importorskip("distributed", reason="the Dask ensemble needs dask[distributed]")
        with ensemble_dask.connect(None, workers=2) as client:
            ensemble_dask.prepare_workers(client)
            parallel = ensemble_dask.run_dask(client, table, job, block=2)
    else:
        parallel = ensemble_dask.run_threads(table, job, block=2, threads=2)

    assert serial.shape == (6, 4) and not np.isnan(serial[:, :3]).any()
    assert ensemble_dask.same_bits(parallel, serial)
