#pragma once

#include "runtime/method.hpp"

namespace gateways::caps {

extern const MethodSpec get_alert_level;           // CapReport, CCTypeCapReport
extern const MethodSpec get_trailing_alert_level;  // TrailingCapReport
extern const MethodSpec increment_transaction_counts;
extern const MethodSpec get_gateway_cap_model;  // all three cap classes

}  // namespace gateways::caps
