// The function type of the module's methods: behaves like a Python function for the
// host (name, qualified name, module, defaults, binding as a method, signature) and is
// called through vectorcall. The type is made per module from a spec and is held by the
// module's state; it holds the module in turn, so a method's state lives as long as it.
#pragma once

#include "runtime/method.hpp"

namespace gateways {

// The type, made for `module`; null with the error set when it cannot be made.
PyTypeObject* new_function_type(PyObject* module);

// A new method object for `spec`, a member of the class `class_name`, whose module-level
// names are looked up in `globals`, of the type the state holds.
py::object make_function(const MethodSpec& spec, const char* class_name, py::dict globals, State& state);

}  // namespace gateways
