#pragma once

#include <pybind11/pybind11.h>

#include <string>

namespace gateways::sql {

namespace py = pybind11;

// A value's text in SQL: format(value, ''). A text unchanged, an integer or float in
// decimal digits, a date as year-month-day, a list in Python's list notation.
std::string text_form(py::handle value);

}  // namespace gateways::sql
