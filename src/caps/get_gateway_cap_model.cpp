// A CRM's cap model: the rows of the object's cap table joined with the CRM's step
// assignments in the default account's step table.
#include "caps/methods.hpp"
#include "sql/guards.hpp"
#include "sql/own_table.hpp"
#include "sql/statement.hpp"

namespace gateways::caps {
namespace {

constexpr sql::Template statement{R"(
        select b.gateway_id, b.crm_id, a.* from {schema}.{table} a inner join ui_54407332_clients.steps b on b.mid_id = a.mid_id and b.crm_id = '{crm_id}' and b.step = a.step
        )",
                                  {"schema", "table", "crm_id"}};

py::object get_gateway_cap_model_(const Frame& frame) {
    const State& s = frame.state;
    py::handle self = frame.arg(0), crm_id = frame.arg(1);

    py::object read_sql = getattr(frame.global(s.pd), s.read_sql);
    auto [schema, table] = sql::own_table(frame, self);
    sql::Value crm = sql::quoted(crm_id, "crm_id");
    py::object query = statement(schema, table, crm);
    return call(read_sql, query, getattr(self, s.engine));
}

}  // namespace

const MethodSpec get_gateway_cap_model{
    .name = "get_gateway_cap_model", .parameters = {"self", "crm_id"}, .implementation = get_gateway_cap_model_};

}  // namespace gateways::caps
