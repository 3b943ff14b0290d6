#pragma once

#include "module/registry.hpp"

namespace gateways {

// Creates the class as a class statement would and binds it in the module.
void create_class(py::module_ module, const ClassSpec& spec);

}  // namespace gateways
