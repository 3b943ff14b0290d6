// Each gateway's daily and monthly cap beside its approved total since a time (or ever),
// for one CRM; the month-to-date and today's reports are the two bounds the host uses.
#include "pandas_versions.hpp"
#include "settings/methods.hpp"
#include "sql/guards.hpp"
#include "sql/own_table.hpp"
#include "sql/statement.hpp"

namespace gateways::settings {
namespace {

constexpr sql::Template statement{R"(         
select a.crm_id, a.gateway_id, a.daily_cap,a.monthly_cap, processed from {schema}.{table} a 
   left join( 
       select crm_id, gateway_id, sum(order_total)::numeric processed from crm_global.orders 
       where crm_id = '{crm_id}' {date_clause} and decline_reason is null
       group by crm_id, gateway_id
       )  b  on  a.crm_id  = b.crm_id and a.gateway_id =  b.gateway_id
    where a.crm_id  = '{crm_id}'
           )",
                                  {"schema", "table", "crm_id", "date_clause"}};

constexpr sql::Template date_clause{"and time_stamp >=  '{s_date}'", {"s_date"}};

py::object cap_report_(const Frame& frame) {
    State& s = frame.state;
    py::handle self = frame.arg(0), crm_id = frame.arg(1), s_date = frame.arg(2);

    py::object pd = frame.global(s.pd);
    py::object read_sql = getattr(pd, s.read_sql);
    auto [schema, table] = sql::own_table(frame, self);
    sql::Value crm = sql::quoted(crm_id, "crm_id");
    py::object since = borrowed(s.empty);
    if (is_true(s_date)) {
        since = date_clause(sql::quoted(s_date, "s_date"));
    }
    py::object query = statement(schema, table, crm, since);

    py::object df = call(read_sql, query, getattr(self, s.engine));
    return pandas_versions::zero_filled_frame(s, pd, df);
}

py::object mtd_cap_report_(const Frame& frame) {
    State& s = frame.state;
    py::handle self = frame.arg(0), crm_id = frame.arg(1);
    py::object cap_report = getattr(self, s.cap_report);
    py::object first_of_month = call_method(self, s.get_first_dom);
    return call(cap_report, crm_id, first_of_month);
}

// Today is the date of the current time less the configured hour offset, read anew each call.
py::object today_cap_report_(const Frame& frame) {
    State& s = frame.state;
    py::handle self = frame.arg(0), crm_id = frame.arg(1);
    py::object cap_report = getattr(self, s.cap_report);
    py::object now = call_method(getattr(frame.global(s.dt), s.datetime), s.now);
    py::object timedelta = getattr(frame.global(s.dt), s.timedelta);
    py::object offset =
        call_with_keywords(timedelta, {}, s.kw_hours, {getattr(frame.global(s.mod_conf), s.timeOffset)});
    py::object report_date =
        call_method(owned(enter([&] { return PyNumber_Subtract(now.ptr(), offset.ptr()); })), s.date);
    return call(cap_report, crm_id, report_date);
}

}  // namespace

const MethodSpec cap_report{.name = "cap_report",
                            .parameters = {"self", "crm_id", "s_date"},
                            .defaults = {Default::False},
                            .implementation = cap_report_};
const MethodSpec mtd_cap_report{
    .name = "mtd_cap_report", .parameters = {"self", "crm_id"}, .implementation = mtd_cap_report_};
const MethodSpec today_cap_report{
    .name = "today_cap_report", .parameters = {"self", "crm_id"}, .implementation = today_cap_report_};

}  // namespace gateways::settings
