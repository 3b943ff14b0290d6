#include "runtime/function_type.hpp"

#include <structmember.h>

#include <string>

#include "runtime/argument_binding.hpp"
#include "runtime/boundary.hpp"
#include "runtime/stack_guard.hpp"
#include "runtime/traceback.hpp"

namespace gateways {
namespace {

struct Function {
    PyObject_HEAD vectorcallfunc vectorcall;
    const MethodSpec* spec;
    PyObject* name;
    PyObject* qualname;
    PyObject* module;
    PyObject* parameters;     // tuple of interned str
    PyObject* defaults;       // tuple, or nullptr when there are none
    PyObject* globals;        // the module namespace; null once the collector cleared it
    PyObject* traced_name;    // "gateways.<Class>.<method>", for traceback entries
    const char* traced_utf8;  // its text, made once: an error path allocates nothing for it
    State* state;             // the module's, which the type holds
    PyObject* weakrefs;
};

// Runs the method body. An entry counts against the interpreter's recursion limit, as a
// Python function's call does, and stops short of the end of the C stack, so that methods
// reaching each other through the object raise RecursionError instead of crashing. The
// body's exception is the very object that was raised, with this method's traceback
// entry added.
PyObject* invoke(Function* f, PyObject* const* bound) noexcept {
    MethodEntry entry;
    if (entry.too_deep() || stack_nearly_exhausted()) {
        PyErr_SetString(PyExc_RecursionError, "maximum recursion depth exceeded while calling a Python object");
        return nullptr;
    }
    if (f->globals == nullptr) [[unlikely]] {
        PyErr_Format(PyExc_ReferenceError, "%U() outlived its module's namespace", f->qualname);
        return nullptr;
    }
    if (Py_EnterRecursiveCall(" while calling a Python object") != 0) {
        return nullptr;
    }
    PyObject* result = boundary<PyObject*>(
        nullptr, [&] { return f->spec->implementation(Frame(*f->state, f->globals, bound)).release().ptr(); });
    Py_LeaveRecursiveCall();
    if (result == nullptr) {
        add_traceback_entry(f->traced_utf8, f->spec->file, f->spec->line);
    }
    return result;
}

PyObject* vectorcall(PyObject* callable, PyObject* const* args, size_t nargsf, PyObject* kwnames) noexcept {
    auto* f = reinterpret_cast<Function*>(callable);
    Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
    // Every parameter given by position, no keywords: the arguments are already bound.
    if (kwnames == nullptr && nargs == PyTuple_GET_SIZE(f->parameters)) {
        return invoke(f, args);
    }
    PyObject* bound[max_parameters];
    bool matched = boundary(false, [&] {
        // A keyword that is a str subclass compares with Python code of its own.
        return enter([&] {
            return bind_arguments({f->qualname, f->parameters, f->defaults}, args, nargs, kwnames, bound);
        });
    });
    return matched ? invoke(f, bound) : nullptr;
}

PyObject* bind_to_instance(PyObject* self, PyObject* instance, PyObject*) {
    if (instance == nullptr || instance == Py_None) {
        return Py_NewRef(self);
    }
    return PyMethod_New(self, instance);
}

PyObject* repr(PyObject* self) {
    return PyUnicode_FromFormat("<function %U at %p>", reinterpret_cast<Function*>(self)->qualname, self);
}

// The type, which an instance holds until it is freed, and what tp_clear clears.
int traverse(PyObject* self, visitproc visit, void* arg) {
    auto* f = reinterpret_cast<Function*>(self);
    Py_VISIT(Py_TYPE(self));
    Py_VISIT(f->defaults);
    Py_VISIT(f->globals);
    return 0;
}

int clear(PyObject* self) {
    auto* f = reinterpret_cast<Function*>(self);
    Py_CLEAR(f->defaults);
    Py_CLEAR(f->globals);
    return 0;
}

void dealloc(PyObject* self) {
    auto* f = reinterpret_cast<Function*>(self);
    PyTypeObject* type = Py_TYPE(self);
    PyObject_GC_UnTrack(self);
    if (f->weakrefs != nullptr) {
        PyObject_ClearWeakRefs(self);
    }
    clear(self);
    Py_CLEAR(f->name);
    Py_CLEAR(f->qualname);
    Py_CLEAR(f->module);
    Py_CLEAR(f->parameters);
    Py_CLEAR(f->traced_name);
    PyObject_GC_Del(self);
    Py_DECREF(type);
}

PyObject* get_none(PyObject*, void*) {
    Py_RETURN_NONE;
}

PyObject* get_defaults(PyObject* self, void*) {
    PyObject* defaults = reinterpret_cast<Function*>(self)->defaults;
    return Py_NewRef(defaults != nullptr ? defaults : Py_None);
}

// inspect.signature() reads this: the real parameters with their default objects.
PyObject* get_signature(PyObject* self, void*) noexcept {
    auto* f = reinterpret_cast<Function*>(self);
    return boundary<PyObject*>(nullptr, [&] {
        py::object inspect = owned(enter([] { return PyImport_ImportModule("inspect"); }));
        py::object parameter = getattr(inspect, f->state->Parameter);
        py::object kind = getattr(parameter, f->state->POSITIONAL_OR_KEYWORD);
        py::object empty = getattr(parameter, f->state->empty_parameter);
        Py_ssize_t count = PyTuple_GET_SIZE(f->parameters);
        Py_ssize_t required = count - (f->defaults != nullptr ? PyTuple_GET_SIZE(f->defaults) : 0);
        py::object parameters = new_list({});
        for (Py_ssize_t i = 0; i < count; ++i) {
            PyObject* default_value = i < required ? empty.ptr() : PyTuple_GET_ITEM(f->defaults, i - required);
            py::object one = call_with_keywords(parameter, {PyTuple_GET_ITEM(f->parameters, i), kind},
                                                f->state->kw_default, {default_value});
            check(enter([&] { return PyList_Append(parameters.ptr(), one.ptr()); }));
        }
        return gateways::call(getattr(inspect, f->state->Signature), parameters).release().ptr();
    });
}

// Pickled by reference, as Python functions are: the qualified name in the module.
PyObject* reduce(PyObject* self, PyObject*) {
    return Py_NewRef(reinterpret_cast<Function*>(self)->qualname);
}

PyMemberDef members[] = {
    {"__name__", T_OBJECT, offsetof(Function, name), READONLY, nullptr},
    {"__qualname__", T_OBJECT, offsetof(Function, qualname), READONLY, nullptr},
    {"__module__", T_OBJECT, offsetof(Function, module), READONLY, nullptr},
    {"__globals__", T_OBJECT, offsetof(Function, globals), READONLY, nullptr},
    {"__vectorcalloffset__", T_PYSSIZET, offsetof(Function, vectorcall), READONLY, nullptr},
    {"__weaklistoffset__", T_PYSSIZET, offsetof(Function, weakrefs), READONLY, nullptr},
    {nullptr, 0, 0, 0, nullptr},
};

PyGetSetDef getset[] = {
    {"__doc__", get_none, nullptr, nullptr, nullptr},
    {"__defaults__", get_defaults, nullptr, nullptr, nullptr},
    {"__kwdefaults__", get_none, nullptr, nullptr, nullptr},
    {"__signature__", get_signature, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef methods[] = {
    {"__reduce__", reduce, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_call, reinterpret_cast<void*>(PyVectorcall_Call)},
    {Py_tp_descr_get, reinterpret_cast<void*>(bind_to_instance)},
    {Py_tp_repr, reinterpret_cast<void*>(repr)},
    {Py_tp_traverse, reinterpret_cast<void*>(traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(clear)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
    {Py_tp_members, members},
    {Py_tp_getset, getset},
    {Py_tp_methods, methods},
    {0, nullptr},
};

PyType_Spec spec = {
    "gateways.function",
    sizeof(Function),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_HAVE_VECTORCALL | Py_TPFLAGS_METHOD_DESCRIPTOR |
        Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    slots,
};

py::object default_object(Default value) {
    switch (value) {
        case Default::False:
            return py::bool_(false);
        case Default::AccountId:
            return py::str("54407332");
    }
    throw std::logic_error("unknown default");
}

}  // namespace

PyTypeObject* new_function_type(PyObject* module) {
    return reinterpret_cast<PyTypeObject*>(PyType_FromModuleAndSpec(module, &spec, nullptr));
}

py::object make_function(const MethodSpec& method, const char* class_name, py::dict globals, State& state) {
    if (static_cast<Py_ssize_t>(method.parameters.size()) > max_parameters ||
        method.defaults.size() > method.parameters.size()) {
        throw std::logic_error(std::string("bad parameter list for ") + method.name);
    }
    py::str name(method.name);
    py::str qualname(std::string(class_name) + "." + method.name);
    py::str traced_name(std::string("gateways.") + class_name + "." + method.name);
    py::str module("gateways");
    py::tuple parameters(method.parameters.size());
    for (std::size_t i = 0; i < method.parameters.size(); ++i) {
        PyObject* parameter = PyUnicode_InternFromString(method.parameters[i]);
        if (parameter == nullptr) {
            throw PythonError{};
        }
        PyTuple_SET_ITEM(parameters.ptr(), i, parameter);
    }
    py::object defaults;
    if (!method.defaults.empty()) {
        py::tuple values(method.defaults.size());
        for (std::size_t i = 0; i < method.defaults.size(); ++i) {
            values[i] = default_object(method.defaults[i]);
        }
        defaults = std::move(values);
    }

    if (PyUnicode_AsUTF8(traced_name.ptr()) == nullptr) {
        throw PythonError{};
    }
    auto* f = enter([&] { return PyObject_GC_New(Function, state.function_type); });
    if (f == nullptr) {
        throw PythonError{};
    }
    f->vectorcall = vectorcall;
    f->spec = &method;
    f->name = name.release().ptr();
    f->qualname = qualname.release().ptr();
    f->module = module.release().ptr();
    f->parameters = parameters.release().ptr();
    f->defaults = defaults.release().ptr();
    f->globals = globals.release().ptr();
    f->traced_utf8 = PyUnicode_AsUTF8(traced_name.ptr());
    f->traced_name = traced_name.release().ptr();
    f->state = &state;
    f->weakrefs = nullptr;
    PyObject_GC_Track(f);
    return py::reinterpret_steal<py::object>(reinterpret_cast<PyObject*>(f));
}

}  // namespace gateways
