#include "module/classes.hpp"

#include "runtime/function_type.hpp"

namespace gateways {
namespace {

py::object text(const char* value) {
    return owned(PyUnicode_FromString(value));
}

void set_entry(py::handle mapping, const char* key, py::handle value) {
    setitem(mapping, text(key), value);
}

}  // namespace

void create_class(PyObject* module, const ClassSpec& spec, State& state) {
    py::dict globals = borrowed(PyModule_GetDict(module));
    // The base as bound in the module at this moment.
    py::object base_name = text(spec.base);
    PyObject* found = enter([&] { return PyDict_GetItemWithError(globals.ptr(), base_name.ptr()); });
    if (found == nullptr) {
        if (!PyErr_Occurred()) {
            PyErr_Format(PyExc_NameError, "name '%s' is not defined", spec.base);
        }
        throw PythonError{};
    }
    py::object base = borrowed(found);
    py::object metaclass = borrowed(reinterpret_cast<PyObject*>(Py_TYPE(base.ptr())));
    py::object bases = owned(PyTuple_Pack(1, base.ptr()));
    py::object name = text(spec.name);

    py::object prepare_name = text("__prepare__");
    int has_prepare = enter([&] { return PyObject_HasAttr(metaclass.ptr(), prepare_name.ptr()); });
    py::object namespace_ =
        has_prepare != 0 ? call_method(metaclass, prepare_name.ptr(), name, bases) : owned(PyDict_New());
    set_entry(namespace_, "__module__", text("gateways"));
    set_entry(namespace_, "__qualname__", name);
    for (const MethodSpec* method : spec.methods) {
        py::object function = make_function(*method, spec.name, globals, state);
        if (method->is_static) {
            function = owned(PyStaticMethod_New(function.ptr()));
        }
        set_entry(namespace_, method->name, function);
    }

    py::object created = call(metaclass, name, bases, namespace_);
    check(enter([&] { return PyObject_SetAttr(module, name.ptr(), created.ptr()); }));
}

}  // namespace gateways
