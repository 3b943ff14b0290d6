// Each gateway's daily and monthly cap beside its approved total since a time (or ever),
// for one CRM; the month-to-date and today's reports are the two bounds the host uses.
#include "module/truth.hpp"
#include "settings/methods.hpp"
#include "sql/guards.hpp"
#include "sql/statement.hpp"

namespace gateways::settings {
namespace {

constexpr std::string_view statement = R"(         
select a.crm_id, a.gateway_id, a.daily_cap,a.monthly_cap, processed from {table} a 
   left join( 
       select crm_id, gateway_id, sum(order_total)::numeric processed from crm_global.orders 
       where crm_id = '{crm_id}' {date_clause} and decline_reason is null
       group by crm_id, gateway_id
       )  b  on  a.crm_id  = b.crm_id and a.gateway_id =  b.gateway_id
    where a.crm_id  = '{crm_id}'
           )";

py::object cap_report_(const Frame& frame) {
    py::handle self = frame.arg(0), crm_id = frame.arg(1), s_date = frame.arg(2);

    py::object read_sql = frame.global("pd").attr("read_sql");
    std::string table = sql::own_table(self);
    std::string crm = sql::quoted(crm_id, "crm_id");
    std::string date_clause;
    if (is_true(s_date)) {
        date_clause = "and time_stamp >=  '" + sql::quoted(s_date, "s_date") + "'";
    }
    py::str query = sql::fill(statement, {{"table", table}, {"crm_id", crm}, {"date_clause", date_clause}});

    return read_sql(query, self.attr("engine")).attr("fillna")(0);
}

py::object mtd_cap_report_(const Frame& frame) {
    py::handle self = frame.arg(0), crm_id = frame.arg(1);
    py::object cap_report = self.attr("cap_report");
    py::object first_of_month = self.attr("get_first_dom")();
    return cap_report(crm_id, first_of_month);
}

// Today is the date of the current time less the configured hour offset, read anew each call.
py::object today_cap_report_(const Frame& frame) {
    py::handle self = frame.arg(0), crm_id = frame.arg(1);
    py::object cap_report = self.attr("cap_report");
    py::object now = frame.global("dt").attr("datetime").attr("now")();
    py::object timedelta = frame.global("dt").attr("timedelta");
    py::object offset = timedelta(py::arg("hours") = frame.global("mod_conf").attr("timeOffset"));
    py::object report_date = (now - offset).attr("date")();
    return cap_report(crm_id, report_date);
}

}  // namespace

const MethodSpec cap_report = {"cap_report", {"self", "crm_id", "s_date"}, {Default::False}, false, cap_report_,
                               __FILE__, __LINE__};
const MethodSpec mtd_cap_report = {"mtd_cap_report", {"self", "crm_id"}, {}, false, mtd_cap_report_,
                                   __FILE__, __LINE__};
const MethodSpec today_cap_report = {"today_cap_report", {"self", "crm_id"}, {}, false, today_cap_report_,
                                     __FILE__, __LINE__};

}  // namespace gateways::settings
