// The stored alert levels of a cap table, read through the base class's row fetch.
#include "caps/methods.hpp"
#include "module/text_list.hpp"

namespace gateways::caps {
namespace {

py::object get_alert_level_(const Frame& frame) {
    return frame.arg(0).attr("get")(text_list({"mid_id", "step", "processor", "gateway_id", "alert_level"}));
}

// The trailing cap table is asked for its key columns only.
py::object get_trailing_alert_level_(const Frame& frame) {
    return frame.arg(0).attr("get")(text_list({"mid_id", "step", "processor"}));
}

}  // namespace

const MethodSpec get_alert_level = {"get_alert_level", {"self"}, {}, false, get_alert_level_, __FILE__, __LINE__};
const MethodSpec get_trailing_alert_level = {"get_alert_level", {"self"}, {}, false, get_trailing_alert_level_,
                                             __FILE__, __LINE__};

}  // namespace gateways::caps
