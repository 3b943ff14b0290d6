// Counts one transaction against every cap row of a MID and step. The database
// increments the counters inside the one update, so concurrent counting loses nothing.
#include "caps/conflict_retry.hpp"
#include "caps/methods.hpp"
#include "sql/guards.hpp"
#include "sql/statement.hpp"

namespace gateways::caps {
namespace {

constexpr sql::Template statement{"update {schema}.{table} set {set} where mid_id ={mid_id} and step = {step}",
                                  {"schema", "table", "set", "mid_id", "step"}};

py::object increment_transaction_counts_(const Frame& frame) {
    const State& s = frame.names;
    py::handle self = frame.arg(0), mid_id = frame.arg(1), step = frame.arg(3), is_lp = frame.arg(4);
    // frame.arg(2), the processor, takes no part: every processor's row is counted.

    std::string_view set =
        is_true(is_lp) ? "used_dtc = used_dtc+1 , used_lptc = used_lptc+1" : "used_dtc = used_dtc+1 ";

    py::object execute = getattr(getattr(self, s.engine), s.execute);
    sql::Value schema = sql::identifier(getattr(self, s.schema), "schema", s.accepted_names);
    sql::Value table = sql::identifier(getattr(self, s.table), "table", s.accepted_names);
    sql::Value mid = sql::integer(mid_id);
    sql::Value step_number = sql::integer(step);

    // Rows of a hot MID and step can be locked in different orders by concurrent updates;
    // the server then rolls one back, and it is counted again.
    execute_retrying_conflicts(s, execute, statement(schema, table, set, mid, step_number));
    return py::none();
}

}  // namespace

const MethodSpec increment_transaction_counts = {"increment_transaction_counts",
                                                 {"self", "mid_id", "processor", "step", "is_lp"},
                                                 {Default::False},
                                                 false,
                                                 increment_transaction_counts_,
                                                 __FILE__,
                                                 __LINE__};

}  // namespace gateways::caps
