// Today's report with the monthly cap still available per gateway. The two reports are
// separate statements, run one after the other.
#include "module/text_list.hpp"
#include "settings/methods.hpp"

namespace gateways::settings {
namespace {

py::object cap_limits_(const Frame& frame) {
    py::handle self = frame.arg(0), crm_id = frame.arg(1);

    py::object today = self.attr("today_cap_report")(crm_id);
    py::object merge = today.attr("merge");
    py::object month = self.attr("mtd_cap_report")(crm_id);

    py::dict processed_as_available;
    processed_as_available["processed"] = "available";
    py::object month_totals = month[text_list({"gateway_id", "crm_id", "processed"})].attr("rename")(
        processed_as_available, py::arg("axis") = 1);

    py::object df = merge(month_totals, py::arg("on") = text_list({"gateway_id", "crm_id"}),
                          py::arg("how") = "left");
    if (py::len(df) == 0) {
        // pandas puts the keys last when merging an empty frame: keep the report's order.
        py::list columns(today.attr("columns"));
        columns.append("available");
        df = df.attr("reindex")(py::arg("columns") = columns);
    }
    df.attr("loc")[py::make_tuple(df.attr("monthly_cap").attr("isna")(), "monthly_cap")] = py::float_(20000.0);
    df.attr("loc")[py::make_tuple(df.attr("available").attr("isna")(), "available")] = py::int_(0);
    df[py::str("available")] = df.attr("monthly_cap") - df.attr("available");
    return df;
}

}  // namespace

const MethodSpec cap_limits = {"cap_limits", {"self", "crm_id"}, {}, false, cap_limits_, __FILE__, __LINE__};

}  // namespace gateways::settings
