#include "runtime/traceback.hpp"

#include <Python.h>
#include <frameobject.h>

namespace gateways {

void add_traceback_entry(const char* function, const char* file, int line) {
    // Building the entry must not lose the exception in flight.
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);

    // An empty code object whose first line is `line`: the frame reports that line.
    PyCodeObject* code = PyCode_NewEmpty(file, function, line);
    PyObject* globals = code != nullptr ? PyDict_New() : nullptr;
    PyFrameObject* frame = globals != nullptr ? PyFrame_New(PyThreadState_Get(), code, globals, nullptr) : nullptr;
    if (frame == nullptr) {
        // No entry then; the original exception matters more than this one.
        PyErr_Clear();
    }
    PyErr_Restore(type, value, traceback);
    if (frame != nullptr) {
        PyTraceBack_Here(frame);
    }
    Py_XDECREF(frame);
    Py_XDECREF(globals);
    Py_XDECREF(code);
}

}  // namespace gateways
