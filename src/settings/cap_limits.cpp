// Today's report with the monthly cap still available per gateway. The two reports are
// separate statements, run one after the other.
#include "pandas_versions.hpp"
#include "settings/methods.hpp"
#include "settings/missing_values.hpp"

namespace gateways::settings {
namespace {

py::object cap_limits_(const Frame& frame) {
    const State& s = frame.state;
    py::handle self = frame.arg(0), crm_id = frame.arg(1);

    py::object today = call_method(self, s.today_cap_report, crm_id);
    py::object merge = getattr(today, s.merge);
    py::object month = call_method(self, s.mtd_cap_report, crm_id);

    py::object month_totals =
        call_method_with_keywords(getitem(month, new_list({s.gateway_id, s.crm_id, s.processed})), s.rename,
                                  {new_dict(s.processed, s.available)}, s.kw_axis, {s.one});
    py::object df =
        call_with_keywords(merge, {month_totals}, s.kw_on_how, {new_list({s.gateway_id, s.crm_id}), s.left});
    df = pandas_versions::in_left_order(s, df, today, s.available);
    fill_missing(s, df, s.monthly_cap, s.default_cap);
    fill_missing(s, df, s.available, s.zero);
    setitem(df, s.available, owned(enter([&] {
                return PyNumber_Subtract(getattr(df, s.monthly_cap).ptr(), getattr(df, s.available).ptr());
            })));
    return df;
}

}  // namespace

const MethodSpec cap_limits{.name = "cap_limits", .parameters = {"self", "crm_id"}, .implementation = cap_limits_};

}  // namespace gateways::settings
