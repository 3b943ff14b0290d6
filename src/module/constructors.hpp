#pragma once

#include "runtime/method.hpp"

namespace gateways::constructors {

extern const MethodSpec gateway_settings;
extern const MethodSpec gateway_names;
extern const MethodSpec gateway_steps;
extern const MethodSpec cap_report;
extern const MethodSpec cc_type_cap_report;
extern const MethodSpec trailing_cap_report;

}  // namespace gateways::constructors
