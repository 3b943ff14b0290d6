// The imports of initialisation, with the meaning of Python's import statements.
#pragma once

#include "runtime/calls.hpp"
#include "runtime/objects.hpp"

namespace gateways {

// import pandas as pd; import datetime as dt
void import_runtime_modules(PyObject* globals);

// from models.db import ClientStructure, Db; from models import config as mod_conf
// The only place that reaches the host's packages.
void import_host_modules(PyObject* globals);

}  // namespace gateways
