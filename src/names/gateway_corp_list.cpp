// The gateways of one CRM, or of every CRM, with their corporation.
#include "names/methods.hpp"
#include "sql/guards.hpp"
#include "sql/statement.hpp"

namespace gateways::names {
namespace {

// The CRM stands unquoted here, so it must be a plain number.
constexpr sql::Template one_crm{" WHERE crm_id = {crm_id} ", {"crm_id"}};

py::object gateway_corp_list_(const Frame& frame) {
    const State& s = frame.state;
    py::handle self = frame.arg(0), crm_id = frame.arg(1);

    py::object where = borrowed(s.empty);
    if (is_true(crm_id)) {
        where = one_crm(sql::number(crm_id, "crm_id"));
    }
    py::object df =
        call_method_with_keywords(self, s.get, {}, s.kw_columns_where, {new_list({s.id, s.gateway_corp}), where});
    return call_method_with_keywords(df, s.rename, {}, s.kw_columns, {new_dict(s.id, s.gateway_id)});
}

}  // namespace

const MethodSpec gateway_corp_list{.name = "gateway_corp_list",
                                   .parameters = {"self", "crm_id"},
                                   .defaults = {Default::False},
                                   .implementation = gateway_corp_list_};

}  // namespace gateways::names
