// Binding call arguments to positional-or-keyword parameters, as a Python function does.
#pragma once

#include <Python.h>

namespace gateways {

inline constexpr Py_ssize_t max_parameters = 8;

struct Parameters {
    PyObject* qualname;  // str, names the function in error messages
    PyObject* names;     // tuple of str, in order
    PyObject* defaults;  // tuple for the last parameters, or nullptr
};

// Fills bound[0 .. len(names)) with borrowed references to the arguments of a vectorcall,
// defaults filled in. On a call that does not match, raises the interpreter's usual
// TypeError and returns false.
bool bind_arguments(const Parameters& parameters, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                    PyObject** bound);

}  // namespace gateways
