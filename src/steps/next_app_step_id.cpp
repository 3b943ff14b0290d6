// The next step number: one more than the largest in the whole table, across CRMs.
// Only reads: reserving the number is the caller's business.
#include "sql/guards.hpp"
#include "sql/statement.hpp"
#include "steps/methods.hpp"

namespace gateways::steps {
namespace {

constexpr sql::Template largest_step{"Select max(app_step_id)::int from {schema}.{table}", {"schema", "table"}};

py::object next_app_step_id_(const Frame& frame) {
    const State& s = frame.names;
    py::handle self = frame.arg(0);

    sql::Value schema = sql::identifier(getattr(self, s.schema), "schema", s.accepted_names);
    sql::Value table = sql::identifier(getattr(self, s.table), "table", s.accepted_names);
    py::object result = call_method(getattr(self, s.engine), s.execute, largest_step(schema, table));
    py::object largest = call_method(result, s.scalar);

    // An empty table has no largest number: its first step is 1.
    if (largest.is_none()) {
        return borrowed(s.one);
    }
    return owned(PyNumber_Add(largest.ptr(), s.one));
}

}  // namespace

const MethodSpec next_app_step_id = {"next_app_step_id", {"self"}, {}, false, next_app_step_id_, __FILE__, __LINE__};

}  // namespace gateways::steps
