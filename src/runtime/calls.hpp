// Calls into the interpreter, through vectorcall. A failed call leaves its exception set
// and throws PythonError (references.hpp); every call is made through `enter`.
#pragma once

#include <initializer_list>

#include "runtime/interpreter.hpp"
#include "runtime/references.hpp"

namespace gateways {

// callable(args...). The slot before the arguments is spare, so that a bound method can
// put its self there instead of copying the arguments.
template <class... Args>
py::object call(py::handle callable, Args... args) {
    PyObject* stack[] = {nullptr, py::handle(args).ptr()...};
    return owned(enter([&] {
        return PyObject_Vectorcall(callable.ptr(), stack + 1, sizeof...(Args) | PY_VECTORCALL_ARGUMENTS_OFFSET,
                                   nullptr);
    }));
}

// self.name(args...), the method looked up as the interpreter looks it up for a call.
template <class... Args>
py::object call_method(py::handle self, PyObject* name, Args... args) {
    PyObject* stack[] = {self.ptr(), py::handle(args).ptr()...};
    return owned(enter([&] {
        return PyObject_VectorcallMethod(name, stack, (1 + sizeof...(Args)) | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr);
    }));
}

// callable(*positional, **dict(zip(keywords, values))); `keywords` is a tuple of names.
py::object call_with_keywords(py::handle callable, std::initializer_list<py::handle> positional, PyObject* keywords,
                              std::initializer_list<py::handle> values);

// self.name(*positional, **dict(zip(keywords, values))).
py::object call_method_with_keywords(py::handle self, PyObject* name, std::initializer_list<py::handle> positional,
                                     PyObject* keywords, std::initializer_list<py::handle> values);

// Runs `work`, which touches nothing of Python's, with the interpreter lock released;
// taking the lock back is an entry like any other.
template <class Work>
void without_lock(Work&& work) {
    PyThreadState* thread = PyEval_SaveThread();
    work();
    enter([&] { PyEval_RestoreThread(thread); });
}

// Runs the handlers of signals that arrived (KeyboardInterrupt from SIGINT among them).
inline void handle_signals() {
    check(enter([] { return PyErr_CheckSignals(); }));
}

}  // namespace gateways
