// The next step number: one more than the largest in the whole table, across CRMs.
// Only reads: reserving the number is the caller's business.
#include "sql/guards.hpp"
#include "sql/statement.hpp"
#include "steps/methods.hpp"

namespace gateways::steps {
namespace {

py::object next_app_step_id_(const Frame& frame) {
    py::handle self = frame.arg(0);

    std::string table = sql::own_table(self);
    py::object largest = self.attr("engine").attr("execute")(
        sql::fill("Select max(app_step_id)::int from {table}", {{"table", table}})).attr("scalar")();

    // An empty table has no largest number: its first step is 1.
    if (largest.is_none()) {
        return py::int_(1);
    }
    return largest + py::int_(1);
}

}  // namespace

const MethodSpec next_app_step_id = {"next_app_step_id", {"self"}, {}, false, next_app_step_id_, __FILE__, __LINE__};

}  // namespace gateways::steps
