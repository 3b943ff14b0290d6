// Operations on objects, as the interpreter makes them for the matching Python code. Each
// can run Python code of the object's own, so each is an entry (interpreter.hpp).
#pragma once

#include <initializer_list>

#include "runtime/interpreter.hpp"
#include "runtime/references.hpp"

namespace gateways {

inline py::object getattr(py::handle object, PyObject* name) {
    return owned(enter([&] { return PyObject_GetAttr(object.ptr(), name); }));
}

inline void setattr(py::handle object, PyObject* name, py::handle value) {
    check(enter([&] { return PyObject_SetAttr(object.ptr(), name, value.ptr()); }));
}

inline py::object getitem(py::handle object, py::handle key) {
    return owned(enter([&] { return PyObject_GetItem(object.ptr(), key.ptr()); }));
}

// `object[key] = value`, with the references a Python statement holds: its evaluation
// stack keeps one to the target while the item is set. pandas counts them to tell an
// assignment to a named frame from one to a temporary (its chained-assignment warning).
inline void setitem(py::handle object, py::handle key, py::handle value) {
    py::object held = borrowed(object.ptr());
    check(enter([&] { return PyObject_SetItem(held.ptr(), key.ptr(), value.ptr()); }));
}

inline Py_ssize_t size(py::handle object) {
    Py_ssize_t length = enter([&] { return PyObject_Size(object.ptr()); });
    if (length < 0) {
        throw PythonError{};
    }
    return length;
}

// The interpreter's truth test; an error raised by the value's own test propagates.
inline bool is_true(py::handle value) {
    int truth = enter([&] { return PyObject_IsTrue(value.ptr()); });
    check(truth);
    return truth != 0;
}

// left == right, by the objects' own comparison.
inline bool equal(py::handle left, py::handle right) {
    int same = enter([&] { return PyObject_RichCompareBool(left.ptr(), right.ptr(), Py_EQ); });
    check(same);
    return same == 1;
}

inline py::object add(py::handle left, py::handle right) {
    return owned(enter([&] { return PyNumber_Add(left.ptr(), right.ptr()); }));
}

inline py::object subtract(py::handle left, py::handle right) {
    return owned(enter([&] { return PyNumber_Subtract(left.ptr(), right.ptr()); }));
}

// str(value)
inline py::object str(py::handle value) {
    return owned(enter([&] { return PyObject_Str(value.ptr()); }));
}

// format(value, '')
inline py::object format(py::handle value) {
    return owned(enter([&] { return PyObject_Format(value.ptr(), nullptr); }));
}

// int(value)
inline py::object to_int(py::handle value) {
    return owned(enter([&] { return PyNumber_Long(value.ptr()); }));
}

inline py::object iterator(py::handle iterable) {
    return owned(enter([&] { return PyObject_GetIter(iterable.ptr()); }));
}

// The next item, or a null object at the end; an error of the iterator propagates.
inline py::object next(py::handle iterator) {
    PyObject* item = enter([&] { return PyIter_Next(iterator.ptr()); });
    if (item == nullptr && PyErr_Occurred()) {
        throw PythonError{};
    }
    return py::reinterpret_steal<py::object>(item);
}

// (a, b): the allocation of a container may start the collector, whose finalizers run
// Python code.
inline py::object pair(py::handle first, py::handle second) {
    return owned(enter([&] { return PyTuple_Pack(2, first.ptr(), second.ptr()); }));
}

// A new list holding the items: column lists are built anew for every call.
py::object new_list(std::initializer_list<PyObject*> items);

// A new one-entry dictionary.
py::object new_dict(PyObject* key, PyObject* value);

}  // namespace gateways
