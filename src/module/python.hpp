// Calling into the interpreter from method bodies.
//
// A failed operation leaves its exception in the interpreter's error indicator, untouched,
// and throws PythonError; the method's entry point hands it to the caller as it is. Nothing
// here fetches, normalises or formats an exception, so passing one on works at any depth,
// at the recursion limit too. References are owned by py::object; names are the interned
// strings of the module's state.
#pragma once

#include <pybind11/pybind11.h>

#include <initializer_list>

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

inline py::object getattr(py::handle object, PyObject* name) {
    return owned(PyObject_GetAttr(object.ptr(), name));
}

inline void setattr(py::handle object, PyObject* name, py::handle value) {
    check(PyObject_SetAttr(object.ptr(), name, value.ptr()));
}

inline py::object getitem(py::handle object, py::handle key) {
    return owned(PyObject_GetItem(object.ptr(), key.ptr()));
}

// `object[key] = value`, with the references a Python statement holds: its evaluation
// stack keeps one to the target while the item is set. pandas counts them to tell an
// assignment to a named frame from one to a temporary (its chained-assignment warning).
inline void setitem(py::handle object, py::handle key, py::handle value) {
    py::object held = py::reinterpret_borrow<py::object>(object);
    check(PyObject_SetItem(held.ptr(), key.ptr(), value.ptr()));
}

inline Py_ssize_t size(py::handle object) {
    Py_ssize_t length = PyObject_Size(object.ptr());
    if (length < 0) {
        throw PythonError{};
    }
    return length;
}

// The interpreter's truth test; an error raised by the value's own test propagates.
inline bool is_true(py::handle value) {
    int truth = PyObject_IsTrue(value.ptr());
    check(truth);
    return truth != 0;
}

// callable(args...). The slot before the arguments is spare, so that a bound method can
// put its self there instead of copying the arguments.
template <class... Args>
py::object call(py::handle callable, Args... args) {
    PyObject* stack[] = {nullptr, py::handle(args).ptr()...};
    return owned(
        PyObject_Vectorcall(callable.ptr(), stack + 1, sizeof...(Args) | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr));
}

// self.name(args...), the method looked up as the interpreter looks it up for a call.
template <class... Args>
py::object call_method(py::handle self, PyObject* name, Args... args) {
    PyObject* stack[] = {self.ptr(), py::handle(args).ptr()...};
    return owned(
        PyObject_VectorcallMethod(name, stack, (1 + sizeof...(Args)) | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr));
}

// callable(*positional, **dict(zip(keywords, values))); `keywords` is a tuple of names.
py::object call_with_keywords(py::handle callable, std::initializer_list<py::handle> positional, PyObject* keywords,
                              std::initializer_list<py::handle> values);

// self.name(*positional, **dict(zip(keywords, values))).
py::object call_method_with_keywords(py::handle self, PyObject* name, std::initializer_list<py::handle> positional,
                                     PyObject* keywords, std::initializer_list<py::handle> values);

// A new list holding the items: column lists are built anew for every call.
py::object new_list(std::initializer_list<PyObject*> items);

// A new one-entry dictionary.
py::object new_dict(PyObject* key, PyObject* value);

}  // namespace gateways
