#pragma once

#include "runtime/objects.hpp"

namespace gateways::sql {

// A value's text in SQL: format(value, ''). A text unchanged (the very object), an
// integer or float in decimal digits, a date as year-month-day, a list in Python's list
// notation.
py::object text_form(py::handle value);

// The same, for a value that is an exact str: the value itself.
inline py::object exact_text(py::handle value) {
#if PY_VERSION_HEX < 0x030C0000
    check(PyUnicode_READY(value.ptr()));
#endif
    return borrowed(value.ptr());
}

}  // namespace gateways::sql
