// The submodule initialisers: each performs the contents of one submodule on `module`.
#pragma once

#include <Python.h>

namespace vesparil {

bool init_utils(PyObject* module);      // utils/init_utils.cpp
bool init_reach(PyObject* module);      // reach_routing/init_reach.cpp
bool init_metrics(PyObject* module);    // metrics/init_metrics.cpp
bool init_reservoir(PyObject* module);  // reservoir_routing/init_reservoir.cpp
bool init_reservoir_utils(
    PyObject* module);                 // reservoir_routing/reservoir_utils/init_reservoir_utils.cpp
bool init_baseflow(PyObject* module);  // baseflow/init_baseflow.cpp
bool init_loss(PyObject* module);      // rainfall_loss/init_loss.cpp
bool init_transform(PyObject* module);  // rainfall_transform/init_transform.cpp
bool init_basin(PyObject* module);      // basin/python/init_basin.cpp
bool init_lumped(PyObject* module);     // lumped/init_lumped.cpp
bool init_evapotranspiration(
    PyObject* module);  // evapotranspiration/init_evapotranspiration.cpp
bool init_snow(PyObject* module);  // snow/init_snow.cpp

}  // namespace vesparil
