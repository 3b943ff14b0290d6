// Date bounds for the reports, from the host's local clock through the module-level dt.
#include "settings/methods.hpp"

namespace gateways::settings {
namespace {

py::object get_first_dom_(const Frame& frame) {
    py::object now = frame.global("dt").attr("datetime").attr("now")();
    return now.attr("replace")(py::arg("day") = 1).attr("date")();
}

py::object get_get_tomorrow_(const Frame& frame) {
    py::object now = frame.global("dt").attr("datetime").attr("now")();
    py::object one_day = frame.global("dt").attr("timedelta")(py::arg("days") = 1);
    return (now + one_day).attr("date")();
}

}  // namespace

const MethodSpec get_first_dom = {"get_first_dom", {}, {}, true, get_first_dom_, __FILE__, __LINE__};
const MethodSpec get_get_tomorrow = {"get_get_tomorrow", {}, {}, true, get_get_tomorrow_, __FILE__, __LINE__};

}  // namespace gateways::settings
