// Switches gateways of one CRM off with a single update: all of them or, if it fails, none.
#include "settings/methods.hpp"
#include "sql/guards.hpp"
#include "sql/statement.hpp"

namespace gateways::settings {
namespace {

py::object disable_(const Frame& frame) {
    py::handle self = frame.arg(0), crm_id = frame.arg(1), gateway_id = frame.arg(2);

    // A list (or a subclass of it) is used as it is; anything else is one element.
    py::object gateway_ids = py::reinterpret_borrow<py::object>(gateway_id);
    if (!PyList_Check(gateway_id.ptr())) {
        py::list one;
        one.append(gateway_id);
        gateway_ids = std::move(one);
    }

    std::string table = sql::own_table(self);
    std::string crm = sql::quoted(crm_id, "crm_id");
    std::string ids = sql::number_list(gateway_ids, "gateway_id");
    py::str statement = sql::fill(
        "update {table} set enabled = false where crm_id = '{crm_id}' and gateway_id = any(Array{gateway_ids}::int[]) ",
        {{"table", table}, {"crm_id", crm}, {"gateway_ids", ids}});

    self.attr("engine").attr("execute")(statement);
    return py::none();
}

}  // namespace

const MethodSpec disable = {"disable", {"self", "crm_id", "gateway_id"}, {}, false, disable_, __FILE__, __LINE__};

}  // namespace gateways::settings
