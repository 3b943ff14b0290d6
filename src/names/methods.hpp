#pragma once

#include "runtime/method.hpp"

namespace gateways::names {

extern const MethodSpec gateway_corp_list;
extern const MethodSpec update_lists;

}  // namespace gateways::names
