#pragma once

#include "module/python.hpp"

namespace gateways::sql {

// A value's text in SQL: format(value, ''). A text unchanged (the very object), an
// integer or float in decimal digits, a date as year-month-day, a list in Python's list
// notation.
py::object text_form(py::handle value);

}  // namespace gateways::sql
