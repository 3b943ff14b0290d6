// The settings of every CRM with their day lists spread over rows, indexed by gateway.
#include "module/text_list.hpp"
#include "settings/methods.hpp"

namespace gateways::settings {
namespace {

py::object get_exploded_(const Frame& frame) {
    py::handle self = frame.arg(0);

    // Setting an attribute by a C string interns a new text on every call; a name kept
    // for the life of the process is interned once.
    static const py::handle cascade_to = py::str("cascade_to").release();

    py::object df = self.attr("get")(py::arg("orderBy") = "gateway_id");
    df.attr(cascade_to) = df.attr(cascade_to).attr("fillna")(0);
    py::object exploded = self.attr("explode")(df, text_list({"days", "days_index"}));
    return exploded.attr("drop")(text_list({"min_hour", "max_hour"}), py::arg("axis") = 1)
        .attr("set_index")("gateway_id");
}

}  // namespace

const MethodSpec get_exploded = {"get_exploded", {"self"}, {}, false, get_exploded_, __FILE__, __LINE__};

}  // namespace gateways::settings
