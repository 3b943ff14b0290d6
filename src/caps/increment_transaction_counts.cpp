// Counts one transaction against every cap row of a MID and step. The database
// increments the counters inside the one update, so concurrent counting loses nothing.
#include "caps/methods.hpp"
#include "module/truth.hpp"
#include "sql/guards.hpp"
#include "sql/statement.hpp"

namespace gateways::caps {
namespace {

py::object increment_transaction_counts_(const Frame& frame) {
    py::handle self = frame.arg(0), mid_id = frame.arg(1), step = frame.arg(3), is_lp = frame.arg(4);
    // frame.arg(2), the processor, takes no part: every processor's row is counted.

    std::string_view set = is_true(is_lp) ? "used_dtc = used_dtc+1 , used_lptc = used_lptc+1" : "used_dtc = used_dtc+1 ";

    py::object execute = self.attr("engine").attr("execute");
    std::string table = sql::own_table(self);
    std::string mid = sql::integer(mid_id);
    std::string step_number = sql::integer(step);

    execute(sql::fill("update {table} set {set} where mid_id ={mid_id} and step = {step}",
                      {{"table", table}, {"set", set}, {"mid_id", mid}, {"step", step_number}}));
    return py::none();
}

}  // namespace

const MethodSpec increment_transaction_counts = {
    "increment_transaction_counts", {"self", "mid_id", "processor", "step", "is_lp"}, {Default::False}, false,
    increment_transaction_counts_, __FILE__, __LINE__};

}  // namespace gateways::caps
