// A CRM's cap model: the rows of the object's cap table joined with the CRM's step
// assignments in the default account's step table.
#include "caps/methods.hpp"
#include "sql/guards.hpp"
#include "sql/statement.hpp"

namespace gateways::caps {
namespace {

constexpr std::string_view statement = R"(
        select b.gateway_id, b.crm_id, a.* from {table} a inner join ui_54407332_clients.steps b on b.mid_id = a.mid_id and b.crm_id = '{crm_id}' and b.step = a.step
        )";

py::object get_gateway_cap_model_(const Frame& frame) {
    py::handle self = frame.arg(0), crm_id = frame.arg(1);

    py::object read_sql = frame.global("pd").attr("read_sql");
    std::string table = sql::own_table(self);
    std::string crm = sql::quoted(crm_id, "crm_id");
    py::str query = sql::fill(statement, {{"table", table}, {"crm_id", crm}});
    return read_sql(query, self.attr("engine"));
}

}  // namespace

const MethodSpec get_gateway_cap_model = {"get_gateway_cap_model", {"self", "crm_id"}, {}, false,
                                          get_gateway_cap_model_, __FILE__, __LINE__};

}  // namespace gateways::caps
