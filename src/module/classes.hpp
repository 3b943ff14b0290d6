// Class creation, as a class statement creates a class.
#pragma once

#include "module/registry.hpp"

namespace gateways {

// Creates the class from its base's metaclass (through the metaclass's __prepare__
// where it has one) and binds it in the module; its methods use `state`.
void create_class(PyObject* module, const ClassSpec& spec, State& state);

}  // namespace gateways
