// Module-level names are read from the module namespace at each use.
#include "runtime/method.hpp"

namespace gateways {

py::object Frame::global(PyObject* name) const {
    PyObject* value = enter([&] { return PyDict_GetItemWithError(globals_, name); });
    if (value == nullptr) {
        if (!PyErr_Occurred()) {
            PyErr_Format(PyExc_NameError, "name '%U' is not defined", name);
        }
        throw PythonError{};
    }
    return borrowed(value);
}

}  // namespace gateways
