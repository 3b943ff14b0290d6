// References to Python objects, owned by py::object, and how a failed C-API call reaches
// the boundary: it leaves its exception in the interpreter's error indicator, untouched,
// and throws PythonError. Nothing here fetches, normalises or formats an exception, so
// passing one on works at any depth, at the recursion limit too.
#pragma once

#include <pybind11/pybind11.h>

namespace gateways {

namespace py = pybind11;

// The error indicator holds the exception to pass on.
struct PythonError {};

// Takes a new reference; a null one means the error is set.
inline py::object owned(PyObject* reference) {
    if (reference == nullptr) {
        throw PythonError{};
    }
    return py::reinterpret_steal<py::object>(reference);
}

inline py::object borrowed(PyObject* reference) {
    return py::reinterpret_borrow<py::object>(reference);
}

inline void check(int status) {
    if (status < 0) {
        throw PythonError{};
    }
}

}  // namespace gateways
