// Every value that enters SQL text passes one of these first. A refused value raises
// ValueError naming the argument, before any statement is sent.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

namespace gateways::sql {

namespace py = pybind11;

// For a value between single quotes: its text must hold no quote, backslash or NUL.
std::string quoted(py::handle value, const char* argument);

// For a value without quotes: its text must be a plain number (digits, an optional
// leading minus, an optional decimal part).
std::string number(py::handle value, const char* argument);

// For a list written as an array constructor: its text must be a list of plain numbers
// or of quoted plain numbers, such as [3, 7] or ['3', '7'].
std::string number_list(py::handle list, const char* argument);

// The interpreter's int() of the value, in decimal digits: safe by construction.
std::string integer(py::handle value);

// For a schema or table name: a plain SQL name.
std::string identifier(py::handle value, const char* argument);

// The object's own table, "{schema}.{table}", reading schema, then table.
std::string own_table(py::handle self);

}  // namespace gateways::sql
