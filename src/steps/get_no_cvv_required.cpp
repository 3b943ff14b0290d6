// The steps of one CRM on which no card security code is required.
#include "sql/guards.hpp"
#include "steps/methods.hpp"

namespace gateways::steps {
namespace {

py::object get_no_cvv_required_(const Frame& frame) {
    py::handle self = frame.arg(0), crm_id = frame.arg(1), columns = frame.arg(2);

    std::string where = " where scv_level= 'not required' and crm_id='" + sql::quoted(crm_id, "crm_id") + "'";
    return self.attr("get")(columns, py::arg("where") = where);
}

}  // namespace

const MethodSpec get_no_cvv_required = {"get_no_cvv_required", {"self", "crm_id", "columns"}, {Default::False},
                                        false, get_no_cvv_required_, __FILE__, __LINE__};

}  // namespace gateways::steps
