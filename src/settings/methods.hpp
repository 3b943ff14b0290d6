#pragma once

#include "runtime/method.hpp"

namespace gateways::settings {

extern const MethodSpec get_exploded;
extern const MethodSpec disable;
extern const MethodSpec get_first_dom;
extern const MethodSpec get_get_tomorrow;
extern const MethodSpec cap_report;
extern const MethodSpec mtd_cap_report;
extern const MethodSpec today_cap_report;
extern const MethodSpec mtd_cascade_report;
extern const MethodSpec cap_limits;

}  // namespace gateways::settings
