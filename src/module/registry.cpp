#include "module/registry.hpp"

#include "module/constructors.hpp"

namespace gateways {

const std::vector<ClassSpec>& class_registry() {
    static const std::vector<ClassSpec> registry = {
        {"GatewaySettings", "ClientStructure", {&constructors::gateway_settings}},
        {"GatewayNames", "ClientStructure", {&constructors::gateway_names}},
        {"GatewaySteps", "ClientStructure", {&constructors::gateway_steps}},
        {"CapReport", "Db", {&constructors::cap_report}},
        {"CCTypeCapReport", "Db", {&constructors::cc_type_cap_report}},
        {"TrailingCapReport", "Db", {&constructors::trailing_cap_report}},
    };
    return registry;
}

}  // namespace gateways
