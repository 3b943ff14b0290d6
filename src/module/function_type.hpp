// The function type of the module's methods: behaves like a Python function for the
// host (name, qualified name, module, defaults, binding as a method, signature) and is
// called through vectorcall.
#pragma once

#include "module/method.hpp"

namespace gateways {

// Creates the type; called once, when the module is first executed.
bool function_type_ready();

// A new method object for `spec`, a member of the class `class_name`, whose module-level
// names are looked up in `globals`; `state` is the capsule of the module's names.
py::object make_function(const MethodSpec& spec, const char* class_name, py::dict globals, py::handle state);

}  // namespace gateways
