#pragma once

#include <pybind11/pybind11.h>

namespace gateways {

namespace py = pybind11;

// The interpreter's truth test; an error raised by the value's own test propagates.
inline bool is_true(py::handle value) {
    int truth = PyObject_IsTrue(value.ptr());
    if (truth < 0) {
        throw py::error_already_set();
    }
    return truth != 0;
}

}  // namespace gateways
