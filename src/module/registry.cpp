#include "module/registry.hpp"

#include "caps/methods.hpp"
#include "module/constructors.hpp"
#include "names/methods.hpp"
#include "settings/methods.hpp"
#include "steps/methods.hpp"

namespace gateways {

const std::vector<ClassSpec>& class_registry() {
    static const std::vector<ClassSpec> registry = {
        {"GatewaySettings",
         "ClientStructure",
         {&constructors::gateway_settings, &settings::get_exploded, &settings::disable, &settings::get_first_dom,
          &settings::get_get_tomorrow, &settings::cap_report, &settings::mtd_cap_report, &settings::today_cap_report,
          &settings::mtd_cascade_report, &settings::cap_limits}},
        {"GatewayNames",
         "ClientStructure",
         {&constructors::gateway_names, &names::gateway_corp_list, &names::update_lists}},
        {"GatewaySteps",
         "ClientStructure",
         {&constructors::gateway_steps, &steps::next_app_step_id, &steps::get_no_cvv_required,
          &steps::get_mid_numbers_by_mid_id, &steps::get_mid_numbers_by_gateway_id}},
        {"CapReport",
         "Db",
         {&constructors::cap_report, &caps::get_alert_level, &caps::increment_transaction_counts,
          &caps::get_gateway_cap_model}},
        {"CCTypeCapReport",
         "Db",
         {&constructors::cc_type_cap_report, &caps::get_alert_level, &caps::get_gateway_cap_model}},
        {"TrailingCapReport",
         "Db",
         {&constructors::trailing_cap_report, &caps::get_trailing_alert_level, &caps::get_gateway_cap_model}},
    };
    return registry;
}

}  // namespace gateways
