#include "module/imports.hpp"

#include <initializer_list>

namespace gateways {
namespace {

// __import__(name, globals, None, fromlist, 0) through the builtins' __import__, as the
// import statement calls it.
py::object import_statement(const py::dict& globals, const char* name, std::initializer_list<const char*> fromlist) {
    PyObject* import = PyDict_GetItemString(PyEval_GetBuiltins(), "__import__");
    if (import == nullptr) {
        PyErr_SetString(PyExc_ImportError, "__import__ not found");
        throw py::error_already_set();
    }
    py::object from = py::none();
    if (fromlist.size() != 0) {
        py::tuple names(fromlist.size());
        std::size_t i = 0;
        for (const char* entry : fromlist) {
            names[i++] = py::str(entry);
        }
        from = std::move(names);
    }
    return py::reinterpret_borrow<py::object>(import)(name, globals, py::none(), from, 0);
}

// One name of a from-import: the module's attribute, else an already imported submodule
// of that name, else ImportError.
py::object import_from(py::handle module, const char* name) {
    py::str attribute(name);
    PyObject* value = PyObject_GetAttr(module.ptr(), attribute.ptr());
    if (value != nullptr) {
        return py::reinterpret_steal<py::object>(value);
    }
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) {
        throw py::error_already_set();
    }
    PyErr_Clear();
    py::object package = py::getattr(module, "__name__", py::none());
    if (PyUnicode_Check(package.ptr())) {
        py::str full_name(py::str("{}.{}").format(package, attribute));
        PyObject* submodule = PyImport_GetModule(full_name.ptr());
        if (submodule != nullptr) {
            return py::reinterpret_steal<py::object>(submodule);
        }
        if (PyErr_Occurred()) {
            throw py::error_already_set();
        }
    }
    py::str message(py::str("cannot import name {}").format(attribute));
    PyErr_SetImportError(message.ptr(), package.ptr(), nullptr);
    throw py::error_already_set();
}

}  // namespace

void import_runtime_modules(const py::dict& globals) {
    globals["pd"] = import_statement(globals, "pandas", {});
    globals["dt"] = import_statement(globals, "datetime", {});
}

void import_host_modules(const py::dict& globals) {
    py::object db = import_statement(globals, "models.db", {"ClientStructure", "Db"});
    globals["ClientStructure"] = import_from(db, "ClientStructure");
    globals["Db"] = import_from(db, "Db");
    py::object models = import_statement(globals, "models", {"config"});
    globals["mod_conf"] = import_from(models, "config");
}

}  // namespace gateways
