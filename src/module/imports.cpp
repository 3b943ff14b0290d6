#include "module/imports.hpp"

#include <initializer_list>

namespace gateways {
namespace {

py::object text(const char* value) {
    return owned(PyUnicode_FromString(value));
}

// __import__(name, globals, None, fromlist, 0) through the builtins' __import__, as the
// import statement calls it.
py::object import_statement(PyObject* globals, const char* name, std::initializer_list<const char*> fromlist) {
    PyObject* import = PyDict_GetItemString(PyEval_GetBuiltins(), "__import__");
    if (import == nullptr) {
        PyErr_SetString(PyExc_ImportError, "__import__ not found");
        throw PythonError{};
    }
    py::object from = py::none();
    if (fromlist.size() != 0) {
        from = owned(PyTuple_New(static_cast<Py_ssize_t>(fromlist.size())));
        Py_ssize_t i = 0;
        for (const char* entry : fromlist) {
            PyTuple_SET_ITEM(from.ptr(), i++, text(entry).release().ptr());
        }
    }
    py::object level = owned(PyLong_FromLong(0));
    return call(borrowed(import), text(name), borrowed(globals), py::none(), from, level);
}

// One name of a from-import: the module's attribute, else an already imported submodule
// of that name, else ImportError.
py::object import_from(py::handle module, const char* name) {
    py::object attribute = text(name);
    PyObject* value = enter([&] { return PyObject_GetAttr(module.ptr(), attribute.ptr()); });
    if (value != nullptr) {
        return owned(value);
    }
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) {
        throw PythonError{};
    }
    PyErr_Clear();
    py::object name_attribute = text("__name__");
    PyObject* package = enter([&] { return PyObject_GetAttr(module.ptr(), name_attribute.ptr()); });
    if (package == nullptr) {
        PyErr_Clear();
        package = Py_NewRef(Py_None);
    }
    py::object package_name = owned(package);
    if (PyUnicode_Check(package)) {
        py::object full_name = owned(PyUnicode_FromFormat("%U.%U", package, attribute.ptr()));
        PyObject* submodule = enter([&] { return PyImport_GetModule(full_name.ptr()); });
        if (submodule != nullptr) {
            return owned(submodule);
        }
        if (PyErr_Occurred()) {
            throw PythonError{};
        }
    }
    py::object message = owned(PyUnicode_FromFormat("cannot import name %U", attribute.ptr()));
    PyErr_SetImportError(message.ptr(), package_name.ptr(), nullptr);
    throw PythonError{};
}

void bind(PyObject* globals, const char* name, py::handle value) {
    py::object key = text(name);
    check(enter([&] { return PyDict_SetItem(globals, key.ptr(), value.ptr()); }));
}

}  // namespace

void import_runtime_modules(PyObject* globals) {
    bind(globals, "pd", import_statement(globals, "pandas", {}));
    bind(globals, "dt", import_statement(globals, "datetime", {}));
}

void import_host_modules(PyObject* globals) {
    py::object db = import_statement(globals, "models.db", {"ClientStructure", "Db"});
    bind(globals, "ClientStructure", import_from(db, "ClientStructure"));
    bind(globals, "Db", import_from(db, "Db"));
    py::object models = import_statement(globals, "models", {"config"});
    bind(globals, "mod_conf", import_from(models, "config"));
}

}  // namespace gateways
