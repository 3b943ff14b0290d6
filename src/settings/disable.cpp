// Switches gateways of one CRM off with a single update: all of them or, if it fails, none.
#include "settings/methods.hpp"
#include "sql/guards.hpp"
#include "sql/own_table.hpp"
#include "sql/statement.hpp"

namespace gateways::settings {
namespace {

constexpr sql::Template statement{
    "update {schema}.{table} set enabled = false where crm_id = '{crm_id}' and gateway_id = "
    "any(Array{gateway_ids}::int[]) ",
    {"schema", "table", "crm_id", "gateway_ids"}};

py::object disable_(const Frame& frame) {
    const State& s = frame.state;
    py::handle self = frame.arg(0), crm_id = frame.arg(1), gateway_id = frame.arg(2);

    // A list (or a subclass of it) is used as it is; anything else is one element.
    py::object gateway_ids = PyList_Check(gateway_id.ptr()) ? borrowed(gateway_id.ptr()) : new_list({gateway_id.ptr()});

    auto [schema, table] = sql::own_table(frame, self);
    sql::Value crm = sql::quoted(crm_id, "crm_id");
    sql::Value ids = sql::number_list(gateway_ids, "gateway_id");

    call_method(getattr(self, s.engine), s.execute, statement(schema, table, crm, ids));
    return py::none();
}

}  // namespace

const MethodSpec disable{.name = "disable", .parameters = {"self", "crm_id", "gateway_id"}, .implementation = disable_};

}  // namespace gateways::settings
