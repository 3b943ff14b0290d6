#include "runtime/pending_error.hpp"

namespace gateways {
namespace {

// The raised exception as an object, with its traceback attached; the indicator is
// clear afterwards.
py::object take_raised() {
#if PY_VERSION_HEX >= 0x030C0000
    return py::reinterpret_steal<py::object>(PyErr_GetRaisedException());
#else
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    if (type == nullptr) {
        return py::object();
    }
    PyErr_NormalizeException(&type, &value, &traceback);
    if (traceback != nullptr && value != nullptr) {
        PyException_SetTraceback(value, traceback);
    }
    Py_XDECREF(type);
    Py_XDECREF(traceback);
    return py::reinterpret_steal<py::object>(value);
#endif
}

void raise(py::object exception) {
#if PY_VERSION_HEX >= 0x030C0000
    PyErr_SetRaisedException(exception.release().ptr());
#else
    PyObject* value = exception.release().ptr();
    PyErr_Restore(Py_NewRef(reinterpret_cast<PyObject*>(Py_TYPE(value))), value, PyException_GetTraceback(value));
#endif
}

}  // namespace

PendingError::PendingError() : value_(take_raised()) {}

void PendingError::restore() {
    raise(std::move(value_));
}

void PendingError::replaced() {
    py::object raised = take_raised();
    if (raised && value_ && raised.ptr() != value_.ptr()) {
        PyException_SetContext(raised.ptr(), value_.release().ptr());
    }
    raise(std::move(raised));
    throw PythonError{};
}

}  // namespace gateways
