// Every value that enters SQL text passes one of these first: each gives the value's text
// form, checked for its place in the statement. A refused value raises ValueError naming
// the argument, before any statement is sent.
#pragma once

#include "runtime/objects.hpp"
#include "sql/accepted_names.hpp"
#include "sql/value.hpp"

namespace gateways::sql {

// For a value between single quotes: its text must hold no quote, backslash or NUL, and
// no lone surrogate (which no database encoding can carry).
Value quoted(py::handle value, const char* argument);

// For a value without quotes: its text must be a plain number (digits, an optional
// leading minus, an optional decimal part).
Value number(py::handle value, const char* argument);

// For a list written as an array constructor of integers: its text must be a list of
// whole numbers or of quoted whole numbers, such as [3, 7] or ['3', '7']. A zero fraction
// (3.0) names the same number; any other fraction is refused, as the database would round it.
Value number_list(py::handle list, const char* argument);

// The decimal digits of the interpreter's int() of the value: safe by construction.
Value integer(py::handle value);

// For a schema or table name: a plain SQL name. An exact str that passed is remembered in
// `accepted`, and passes again at once.
Value identifier(py::handle value, const char* argument, AcceptedNames& accepted);

}  // namespace gateways::sql
