// The module definition: multi-phase initialisation, create then execute.
//
// The module lives once per process: it is created in one interpreter, and importing it
// again there (even after removal from sys.modules) hands back the same module object
// with the same classes. A failed initialisation forgets everything, so that the next
// import runs it all again.
#include <pybind11/pybind11.h>

#include "module/class_factory.hpp"
#include "module/function_type.hpp"
#include "module/imports.hpp"
#include "module/python.hpp"
#include "module/registry.hpp"
#include "module/state.hpp"
#include "module/traceback.hpp"
#include "module/version_check.hpp"

namespace gateways {
namespace {

struct Lifecycle {
    int64_t interpreter = -1;      // id of the interpreter the module was created in
    PyObject* module = nullptr;    // strong: the module object handed to every import
    PyObject* executed = nullptr;  // the module object initialisation has begun for
};

Lifecycle lifecycle;

void forget() {
    lifecycle.executed = nullptr;
    Py_CLEAR(lifecycle.module);
    lifecycle.interpreter = -1;
}

PyObject* create(PyObject* spec, PyModuleDef*) {
    int64_t interpreter = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (interpreter < 0) {
        return nullptr;
    }
    if (lifecycle.interpreter != -1 && lifecycle.interpreter != interpreter) {
        PyErr_SetString(PyExc_ImportError,
                        "Interpreter change detected - this module can only be loaded into one "
                        "interpreter per process.");
        return nullptr;
    }
    if (lifecycle.module != nullptr) {
        return Py_NewRef(lifecycle.module);
    }
    PyObject* name = PyObject_GetAttrString(spec, "name");
    if (name == nullptr) {
        return nullptr;
    }
    PyObject* module = PyModule_NewObject(name);
    Py_DECREF(name);
    if (module == nullptr) {
        return nullptr;
    }
    lifecycle.interpreter = interpreter;
    lifecycle.module = Py_NewRef(module);
    return module;
}

void initialise(const py::module_& module) {
    check_interpreter_version();
    py::dict globals = module.attr("__dict__");
    import_runtime_modules(globals);
    import_host_modules(globals);
    if (!function_type_ready()) {
        throw py::error_already_set();
    }
    PyObject* state = new_state();
    if (state == nullptr) {
        throw py::error_already_set();
    }
    py::object names = py::reinterpret_steal<py::object>(state);
    for (const ClassSpec& spec : class_registry()) {
        create_class(module, spec, names);
    }
}

int execute(PyObject* module) {
    if (lifecycle.executed == module) {
        return 0;
    }
    if (lifecycle.executed != nullptr) {
        PyErr_SetString(PyExc_RuntimeError,
                        "Module 'gateways' has already been imported. Re-initialisation is not supported.");
        return -1;
    }
    lifecycle.executed = module;
    try {
        initialise(py::reinterpret_borrow<py::module_>(module));
        return 0;
    } catch (py::error_already_set& error) {
        error.restore();
    } catch (const PythonError&) {
        // already set
    } catch (py::builtin_exception& error) {
        error.set_error();
    } catch (const std::exception& error) {
        PyErr_SetString(PyExc_SystemError, error.what());
    }
    forget();
    add_traceback_entry("gateways.<module>", __FILE__, __LINE__);
    return -1;
}

PyModuleDef_Slot slots[] = {
    {Py_mod_create, reinterpret_cast<void*>(create)},
    {Py_mod_exec, reinterpret_cast<void*>(execute)},
    {0, nullptr},
};

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT, "gateways", nullptr, 0, nullptr, slots, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace gateways

PyMODINIT_FUNC PyInit_gateways() {
    return PyModuleDef_Init(&gateways::definition);
}
