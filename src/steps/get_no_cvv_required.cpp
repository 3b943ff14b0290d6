// The steps of one CRM on which no card security code is required.
#include "sql/guards.hpp"
#include "sql/statement.hpp"
#include "steps/methods.hpp"

namespace gateways::steps {
namespace {

constexpr sql::Template not_required{" where scv_level= 'not required' and crm_id='{crm_id}'", {"crm_id"}};

py::object get_no_cvv_required_(const Frame& frame) {
    const State& s = frame.state;
    py::handle self = frame.arg(0), crm_id = frame.arg(1), columns = frame.arg(2);

    py::object where = not_required(sql::quoted(crm_id, "crm_id"));
    return call_method_with_keywords(self, s.get, {columns}, s.kw_where, {where});
}

}  // namespace

const MethodSpec get_no_cvv_required{.name = "get_no_cvv_required",
                                     .parameters = {"self", "crm_id", "columns"},
                                     .defaults = {Default::False},
                                     .implementation = get_no_cvv_required_};

}  // namespace gateways::steps
