// Counts one transaction against every cap row of a MID and step. The database
// increments the counters inside the one update, so concurrent counting loses nothing.
#include "caps/conflict_retry.hpp"
#include "caps/methods.hpp"
#include "sql/guards.hpp"
#include "sql/own_table.hpp"
#include "sql/statement.hpp"

namespace gateways::caps {
namespace {

constexpr sql::Template statement{"update {schema}.{table} set {set} where mid_id ={mid_id} and step = {step}",
                                  {"schema", "table", "set", "mid_id", "step"}};

py::object increment_transaction_counts_(const Frame& frame) {
    const State& s = frame.state;
    py::handle self = frame.arg(0), mid_id = frame.arg(1), step = frame.arg(3), is_lp = frame.arg(4);
    // frame.arg(2), the processor, takes no part: every processor's row is counted.

    std::string_view set =
        is_true(is_lp) ? "used_dtc = used_dtc+1 , used_lptc = used_lptc+1" : "used_dtc = used_dtc+1 ";

    py::object engine = getattr(self, s.engine);
    py::object execute = getattr(engine, s.execute);
    auto [schema, table] = sql::own_table(frame, self);
    sql::Value mid = sql::integer(mid_id);
    sql::Value step_number = sql::integer(step);

    // Rows of a hot MID and step can be locked in different orders by concurrent updates;
    // the server then rolls one back, and it is counted again.
    execute_retrying_conflicts(s, engine, execute, statement(schema, table, set, mid, step_number));
    return py::none();
}

}  // namespace

const MethodSpec increment_transaction_counts{.name = "increment_transaction_counts",
                                              .parameters = {"self", "mid_id", "processor", "step", "is_lp"},
                                              .defaults = {Default::False},
                                              .implementation = increment_transaction_counts_};

}  // namespace gateways::caps
