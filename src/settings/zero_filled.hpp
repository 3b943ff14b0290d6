// fillna(0) with the result pandas 2.1 gives, on every pandas: pandas 2.2 and 2.3 warn
// that the dtype inference fillna makes on object columns is deprecated; there the same
// result is made without it. pandas 3 fills without inferring, as it says it would.
#pragma once

#include "runtime/method.hpp"

namespace gateways::settings {

// frame.fillna(0), with `pd` the module's pandas
py::object zero_filled_frame(State& s, py::handle pd, py::handle df);

// series.fillna(0), with `pd` the module's pandas
py::object zero_filled_series(State& s, py::handle pd, py::handle series);

}  // namespace gateways::settings
