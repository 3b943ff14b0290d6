#pragma once

#include "runtime/method.hpp"

namespace gateways::steps {

extern const MethodSpec next_app_step_id;
extern const MethodSpec get_no_cvv_required;
extern const MethodSpec get_mid_numbers_by_mid_id;
extern const MethodSpec get_mid_numbers_by_gateway_id;

}  // namespace gateways::steps
