// The gateways of one CRM, or of every CRM, with their corporation.
#include "module/text_list.hpp"
#include "module/truth.hpp"
#include "names/methods.hpp"
#include "sql/guards.hpp"

namespace gateways::names {
namespace {

py::object gateway_corp_list_(const Frame& frame) {
    py::handle self = frame.arg(0), crm_id = frame.arg(1);

    std::string where;
    if (is_true(crm_id)) {
        // The CRM stands unquoted here, so it must be a plain number.
        where = " WHERE crm_id = " + sql::number(crm_id, "crm_id") + " ";
    }
    py::object df = self.attr("get")(py::arg("columns") = text_list({"id", "gateway_corp"}),
                                     py::arg("where") = where);

    py::dict id_as_gateway_id;
    id_as_gateway_id["id"] = "gateway_id";
    return df.attr("rename")(py::arg("columns") = id_as_gateway_id);
}

}  // namespace

const MethodSpec gateway_corp_list = {"gateway_corp_list", {"self", "crm_id"}, {Default::False}, false,
                                      gateway_corp_list_, __FILE__, __LINE__};

}  // namespace gateways::names
