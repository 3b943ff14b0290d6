#pragma once

#include "module/registry.hpp"

namespace gateways {

// Creates the class as a class statement would and binds it in the module; its methods
// use the module's names held by `state`.
void create_class(const py::module_& module, const ClassSpec& spec, py::handle state);

}  // namespace gateways
