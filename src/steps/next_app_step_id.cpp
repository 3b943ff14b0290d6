// The next step number: one more than the largest in the whole table, across CRMs.
// Only reads: reserving the number is the caller's business.
#include "sql/guards.hpp"
#include "sql/own_table.hpp"
#include "sql/statement.hpp"
#include "steps/methods.hpp"

namespace gateways::steps {
namespace {

constexpr sql::Template largest_step{"Select max(app_step_id)::int from {schema}.{table}", {"schema", "table"}};

py::object next_app_step_id_(const Frame& frame) {
    const State& s = frame.state;
    py::handle self = frame.arg(0);

    auto [schema, table] = sql::own_table(frame, self);
    py::object result = call_method(getattr(self, s.engine), s.execute, largest_step(schema, table));
    py::object largest = call_method(result, s.scalar);

    // An empty table has no largest number: its first step is 1.
    if (largest.is_none()) {
        return borrowed(s.one);
    }
    return owned(enter([&] { return PyNumber_Add(largest.ptr(), s.one); }));
}

}  // namespace

const MethodSpec next_app_step_id{
    .name = "next_app_step_id", .parameters = {"self"}, .implementation = next_app_step_id_};

}  // namespace gateways::steps
