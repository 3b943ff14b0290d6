// The class registry: the six classes in creation order, each with its base's
// module-level name and its methods in namespace order.
#pragma once

#include <vector>

#include "runtime/method.hpp"

namespace gateways {

struct ClassSpec {
    const char* name;
    const char* base;
    std::vector<const MethodSpec*> methods;
};

const std::vector<ClassSpec>& class_registry();

}  // namespace gateways
