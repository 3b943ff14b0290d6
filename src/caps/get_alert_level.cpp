// The stored alert levels of a cap table, read through the base class's row fetch.
#include "caps/methods.hpp"

namespace gateways::caps {
namespace {

py::object get_alert_level_(const Frame& frame) {
    const State& s = frame.state;
    return call_method(frame.arg(0), s.get, new_list({s.mid_id, s.step, s.processor, s.gateway_id, s.alert_level}));
}

// The trailing cap table is asked for its key columns only.
py::object get_trailing_alert_level_(const Frame& frame) {
    const State& s = frame.state;
    return call_method(frame.arg(0), s.get, new_list({s.mid_id, s.step, s.processor}));
}

}  // namespace

const MethodSpec get_alert_level{.name = "get_alert_level", .parameters = {"self"}, .implementation = get_alert_level_};
const MethodSpec get_trailing_alert_level{
    .name = "get_alert_level", .parameters = {"self"}, .implementation = get_trailing_alert_level_};

}  // namespace gateways::caps
