// Merchant account numbers recorded in the step table, by MID and step or by gateway.
#include "module/text_list.hpp"
#include "sql/guards.hpp"
#include "steps/methods.hpp"

namespace gateways::steps {
namespace {

// The distinct (crm_id, mid_number) records of one MID on one step, or None.
py::object get_mid_numbers_by_mid_id_(const Frame& frame) {
    py::handle self = frame.arg(0), mid_id = frame.arg(1), step = frame.arg(2);

    std::string mid = sql::integer(mid_id);
    std::string step_number = sql::integer(step);
    std::string where = " where mid_id=" + mid + " and step=" + step_number;
    py::object ret = self.attr("get")(text_list({"crm_id", "mid_number"}), py::arg("where") = where);

    if (py::len(ret) == 0) {
        return py::none();
    }
    return ret.attr("drop_duplicates")().attr("to_dict")(py::arg("orient") = "records");
}

// The first non-null MID number of one gateway in one CRM, or None.
py::object get_mid_numbers_by_gateway_id_(const Frame& frame) {
    py::handle self = frame.arg(0), gateway_id = frame.arg(1), crm_id = frame.arg(2);

    std::string gateway = sql::number(gateway_id, "gateway_id");
    std::string crm = sql::quoted(crm_id, "crm_id");
    std::string where = " where gateway_id=" + gateway + " and crm_id = '" + crm + "' ";
    py::object df = self.attr("get")(text_list({"mid_number"}), py::arg("where") = where).attr("dropna")();

    if (py::len(df) == 0) {
        return py::none();
    }
    return df[py::str("mid_number")].attr("tolist")()[py::int_(0)];
}

}  // namespace

const MethodSpec get_mid_numbers_by_mid_id = {"get_mid_numbers_by_mid_id", {"self", "mid_id", "step"}, {}, false,
                                              get_mid_numbers_by_mid_id_, __FILE__, __LINE__};
const MethodSpec get_mid_numbers_by_gateway_id = {"get_mid_numbers_by_gateway_id", {"self", "gateway_id", "crm_id"},
                                                  {}, false, get_mid_numbers_by_gateway_id_, __FILE__, __LINE__};

}  // namespace gateways::steps
