// Merchant account numbers recorded in the step table, by MID and step or by gateway.
#include "pandas_versions.hpp"
#include "sql/guards.hpp"
#include "sql/statement.hpp"
#include "steps/methods.hpp"

namespace gateways::steps {
namespace {

constexpr sql::Template by_mid{" where mid_id={mid_id} and step={step}", {"mid_id", "step"}};
constexpr sql::Template by_gateway{" where gateway_id={gateway_id} and crm_id = '{crm_id}' ", {"gateway_id", "crm_id"}};

// The distinct (crm_id, mid_number) records of one MID on one step, or None.
py::object get_mid_numbers_by_mid_id_(const Frame& frame) {
    const State& s = frame.state;
    py::handle self = frame.arg(0), mid_id = frame.arg(1), step = frame.arg(2);

    sql::Value mid = sql::integer(mid_id);
    sql::Value step_number = sql::integer(step);
    py::object ret = call_method_with_keywords(self, s.get, {new_list({s.crm_id, s.mid_number})}, s.kw_where,
                                               {by_mid(mid, step_number)});

    if (size(ret) == 0) {
        return py::none();
    }
    py::object records =
        call_method_with_keywords(call_method(ret, s.drop_duplicates), s.to_dict, {}, s.kw_orient, {s.records});
    if (PyList_CheckExact(records.ptr())) {
        pandas_versions::missing_as_none(records, s.mid_number);  // pandas 3: NaN in a text column
    }
    return records;
}

// The first non-null MID number of one gateway in one CRM, or None.
py::object get_mid_numbers_by_gateway_id_(const Frame& frame) {
    const State& s = frame.state;
    py::handle self = frame.arg(0), gateway_id = frame.arg(1), crm_id = frame.arg(2);

    sql::Value gateway = sql::number(gateway_id, "gateway_id");
    sql::Value crm = sql::quoted(crm_id, "crm_id");
    py::object rows =
        call_method_with_keywords(self, s.get, {new_list({s.mid_number})}, s.kw_where, {by_gateway(gateway, crm)});
    py::object df = call_method(rows, s.dropna);

    if (size(df) == 0) {
        return py::none();
    }
    return getitem(call_method(getitem(df, s.mid_number), s.tolist), s.zero);
}

}  // namespace

const MethodSpec get_mid_numbers_by_mid_id{.name = "get_mid_numbers_by_mid_id",
                                           .parameters = {"self", "mid_id", "step"},
                                           .implementation = get_mid_numbers_by_mid_id_};
const MethodSpec get_mid_numbers_by_gateway_id{.name = "get_mid_numbers_by_gateway_id",
                                               .parameters = {"self", "gateway_id", "crm_id"},
                                               .implementation = get_mid_numbers_by_gateway_id_};

}  // namespace gateways::steps
