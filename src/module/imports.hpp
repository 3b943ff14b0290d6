// The imports of initialisation, with the meaning of Python's import statements.
#pragma once

#include <pybind11/pybind11.h>

namespace gateways {

namespace py = pybind11;

// import pandas as pd; import datetime as dt
void import_runtime_modules(const py::dict& globals);

// from models.db import ClientStructure, Db; from models import config as mod_conf
// The only place that reaches the host's packages.
void import_host_modules(const py::dict& globals);

}  // namespace gateways
