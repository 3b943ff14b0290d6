#include "runtime/objects.hpp"

namespace gateways {

py::object new_list(std::initializer_list<PyObject*> items) {
    // A container's allocation may start the collector, whose finalizers run Python code.
    py::object list = owned(enter([&] { return PyList_New(static_cast<Py_ssize_t>(items.size())); }));
    Py_ssize_t index = 0;
    for (PyObject* item : items) {
        PyList_SET_ITEM(list.ptr(), index++, Py_NewRef(item));
    }
    return list;
}

py::object new_dict(PyObject* key, PyObject* value) {
    py::object dict = owned(enter([] { return PyDict_New(); }));
    check(enter([&] { return PyDict_SetItem(dict.ptr(), key, value); }));
    return dict;
}

}  // namespace gateways
