// The checks and messages follow the interpreter's own for a def statement's function:
// positional arguments first, then keywords (each must name a parameter not yet given),
// then too many positional arguments, then missing ones, then defaults.
#include "runtime/argument_binding.hpp"

namespace gateways {
namespace {

Py_ssize_t parameter_index(PyObject* names, PyObject* keyword) {
    Py_ssize_t count = PyTuple_GET_SIZE(names);
    for (Py_ssize_t i = 0; i < count; ++i) {
        if (PyTuple_GET_ITEM(names, i) == keyword) {
            return i;  // interned keywords match by identity
        }
    }
    for (Py_ssize_t i = 0; i < count; ++i) {
        int equal = PyObject_RichCompareBool(PyTuple_GET_ITEM(names, i), keyword, Py_EQ);
        if (equal != 0) {
            return equal > 0 ? i : -2;
        }
    }
    return -1;
}

void too_many_positional(const Parameters& p, Py_ssize_t given) {
    Py_ssize_t count = PyTuple_GET_SIZE(p.names);
    Py_ssize_t defaults = p.defaults != nullptr ? PyTuple_GET_SIZE(p.defaults) : 0;
    PyObject* takes = defaults != 0 ? PyUnicode_FromFormat("from %zd to %zd", count - defaults, count)
                                    : PyUnicode_FromFormat("%zd", count);
    if (takes == nullptr) {
        return;
    }
    bool plural = defaults != 0 || count != 1;
    PyErr_Format(PyExc_TypeError, "%U() takes %U positional argument%s but %zd %s given", p.qualname, takes,
                 plural ? "s" : "", given, given == 1 ? "was" : "were");
    Py_DECREF(takes);
}

void missing_arguments(const Parameters& p, PyObject** bound, Py_ssize_t required) {
    PyObject* names = PyList_New(0);
    if (names == nullptr) {
        return;
    }
    for (Py_ssize_t i = 0; i < required; ++i) {
        if (bound[i] == nullptr) {
            PyObject* name = PyObject_Repr(PyTuple_GET_ITEM(p.names, i));
            if (name == nullptr || PyList_Append(names, name) < 0) {
                Py_XDECREF(name);
                Py_DECREF(names);
                return;
            }
            Py_DECREF(name);
        }
    }
    Py_ssize_t missing = PyList_GET_SIZE(names);
    PyObject* listed = nullptr;
    if (missing == 1) {
        listed = Py_NewRef(PyList_GET_ITEM(names, 0));
    } else if (missing == 2) {
        listed = PyUnicode_FromFormat("%U and %U", PyList_GET_ITEM(names, 0), PyList_GET_ITEM(names, 1));
    } else {
        PyObject* last = PyList_GET_ITEM(names, missing - 1);
        PyObject* head = PyList_GetSlice(names, 0, missing - 1);
        PyObject* separator = PyUnicode_FromString(", ");
        PyObject* joined = head && separator ? PyUnicode_Join(separator, head) : nullptr;
        listed = joined ? PyUnicode_FromFormat("%U, and %U", joined, last) : nullptr;
        Py_XDECREF(joined);
        Py_XDECREF(separator);
        Py_XDECREF(head);
    }
    if (listed != nullptr) {
        PyErr_Format(PyExc_TypeError, "%U() missing %zd required positional argument%s: %U", p.qualname, missing,
                     missing == 1 ? "" : "s", listed);
        Py_DECREF(listed);
    }
    Py_DECREF(names);
}

}  // namespace

bool bind_arguments(const Parameters& p, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject** bound) {
    Py_ssize_t count = PyTuple_GET_SIZE(p.names);
    for (Py_ssize_t i = 0; i < count; ++i) {
        bound[i] = i < nargs ? args[i] : nullptr;
    }

    Py_ssize_t keywords = kwnames != nullptr ? PyTuple_GET_SIZE(kwnames) : 0;
    for (Py_ssize_t k = 0; k < keywords; ++k) {
        PyObject* keyword = PyTuple_GET_ITEM(kwnames, k);
        if (!PyUnicode_Check(keyword)) {
            PyErr_Format(PyExc_TypeError, "%U() keywords must be strings", p.qualname);
            return false;
        }
        Py_ssize_t index = parameter_index(p.names, keyword);
        if (index == -2) {
            return false;
        }
        if (index < 0) {
            PyErr_Format(PyExc_TypeError, "%U() got an unexpected keyword argument '%S'", p.qualname, keyword);
            return false;
        }
        if (bound[index] != nullptr) {
            PyErr_Format(PyExc_TypeError, "%U() got multiple values for argument '%S'", p.qualname, keyword);
            return false;
        }
        bound[index] = args[nargs + k];
    }

    if (nargs > count) {
        too_many_positional(p, nargs);
        return false;
    }

    Py_ssize_t defaults = p.defaults != nullptr ? PyTuple_GET_SIZE(p.defaults) : 0;
    Py_ssize_t required = count - defaults;
    for (Py_ssize_t i = 0; i < required; ++i) {
        if (bound[i] == nullptr) {
            missing_arguments(p, bound, required);
            return false;
        }
    }
    for (Py_ssize_t i = required; i < count; ++i) {
        if (bound[i] == nullptr) {
            bound[i] = PyTuple_GET_ITEM(p.defaults, i - required);
        }
    }
    return true;
}

}  // namespace gateways
