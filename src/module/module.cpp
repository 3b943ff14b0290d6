// The module definition: multi-phase initialisation, create then execute, with the
// module's state owned by the module object.
//
// The module lives once per process: it is created in one interpreter, and importing it
// again there (even after removal from sys.modules) hands back the same module object
// with the same classes. A failed initialisation forgets everything, so that the next
// import runs it all again.
#include "module/classes.hpp"
#include "module/imports.hpp"
#include "module/registry.hpp"
#include "module/state.hpp"
#include "module/version_check.hpp"
#include "runtime/boundary.hpp"
#include "runtime/function_type.hpp"
#include "runtime/traceback.hpp"

namespace gateways {
namespace {

struct Lifecycle {
    int64_t interpreter = -1;      // id of the interpreter the module was created in
    PyObject* module = nullptr;    // strong: the module object handed to every import
    PyObject* executed = nullptr;  // the module object initialisation has begun for
    State* state = nullptr;        // its state, once made
};

Lifecycle lifecycle;

// The module's state block holds a pointer to the state. An import that hands back the
// existing module is given a new, empty block by the interpreter (it resets the module's
// state before executing it again): the pointer is written into it once more.
// Null before the interpreter gave the module its block.
State** state_slot(PyObject* module) {
    return static_cast<State**>(PyModule_GetState(module));
}

State* state_of(PyObject* module) {
    State** slot = state_slot(module);
    return slot != nullptr ? *slot : nullptr;
}

void forget() {
    lifecycle.executed = nullptr;
    lifecycle.state = nullptr;
    Py_CLEAR(lifecycle.module);  // the state goes with the module
    lifecycle.interpreter = -1;
}

PyObject* create(PyObject* spec, PyModuleDef*) noexcept {
    return boundary<PyObject*>(nullptr, [&]() -> PyObject* {
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
        py::object attribute = owned(PyUnicode_InternFromString("name"));
        py::object name = getattr(spec, attribute.ptr());
        PyObject* module = PyModule_NewObject(name.ptr());
        if (module == nullptr) {
            return nullptr;
        }
        lifecycle.interpreter = interpreter;
        lifecycle.module = Py_NewRef(module);
        return module;
    });
}

void initialise(PyObject* module) {
    check_interpreter_version();
    PyObject* globals = PyModule_GetDict(module);
    import_runtime_modules(globals);
    import_host_modules(globals);
    State* state = new_state();
    if (state == nullptr) {
        throw PythonError{};
    }
    *state_slot(module) = state;  // from here on released with the module
    lifecycle.state = state;
    state->function_type = new_function_type(module);
    if (state->function_type == nullptr) {
        throw PythonError{};
    }
    for (const ClassSpec& spec : class_registry()) {
        create_class(module, spec, *state);
    }
}

int execute(PyObject* module) noexcept {
    if (lifecycle.executed == module) {
        State** slot = state_slot(module);
        if (slot != nullptr && *slot == nullptr) {
            *slot = lifecycle.state;
        }
        return 0;
    }
    if (lifecycle.executed != nullptr) {
        PyErr_SetString(PyExc_RuntimeError,
                        "Module 'gateways' has already been imported. Re-initialisation is not supported.");
        return -1;
    }
    lifecycle.executed = module;
    int status = boundary(-1, [&] {
        initialise(module);
        return 0;
    });
    if (status != 0) {
        forget();
        add_traceback_entry("gateways.<module>", __FILE__, __LINE__);
    }
    return status;
}

int traverse(PyObject* module, visitproc visit, void* arg) noexcept {
    State* state = state_of(module);
    return state != nullptr ? visit_state(*state, visit, arg) : 0;
}

int clear(PyObject* module) noexcept {
    if (State* state = state_of(module)) {
        clear_state(*state);
    }
    return 0;
}

void free_module(void* module) noexcept {
    auto* object = static_cast<PyObject*>(module);
    if (State* state = state_of(object)) {
        *state_slot(object) = nullptr;
        delete_state(state);
    }
}

PyModuleDef_Slot slots[] = {
    {Py_mod_create, reinterpret_cast<void*>(create)},
    {Py_mod_exec, reinterpret_cast<void*>(execute)},
    {0, nullptr},
};

// The module block holds one pointer to the State: an import that hands back the existing
// module gets a fresh block, and the same State is pointed to again (state_slot).
constexpr Py_ssize_t block_size = sizeof(State*);  // NOLINT(bugprone-sizeof-expression): the pointer is what is kept

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT, "gateways", nullptr, block_size, nullptr, slots, traverse, clear, free_module,
};

}  // namespace
}  // namespace gateways

PyMODINIT_FUNC PyInit_gateways() {
    return PyModuleDef_Init(&gateways::definition);
}
