// Module-level names are read from the module namespace at each use.
#include "module/method.hpp"

namespace gateways {

py::object Frame::global(const char* name) const {
    py::str key(name);
    PyObject* value = PyDict_GetItemWithError(globals_, key.ptr());
    if (value == nullptr) {
        if (!PyErr_Occurred()) {
            PyErr_Format(PyExc_NameError, "name '%s' is not defined", name);
        }
        throw py::error_already_set();
    }
    return py::reinterpret_borrow<py::object>(value);
}

}  // namespace gateways
