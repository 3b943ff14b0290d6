// This month's use of each gateway's cascade cap: the orders of cycles descending from
// an order with a dead-MID cascade action, summed per gateway they were processed on.
#include "settings/methods.hpp"
#include "settings/missing_values.hpp"
#include "sql/guards.hpp"
#include "sql/own_table.hpp"
#include "sql/statement.hpp"

namespace gateways::settings {
namespace {

// The "--" line is an SQL comment: it must keep its own line.
constexpr sql::Template statement{R"(
        select a.crm_id, a.gateway_id, a.cascade_cap, b.cascade_processed from {schema}.{table} a
          left join(
            select c.crm_id, c.gateway_id, sum(c.order_total) cascade_processed from
              (select distinct(order_id) from processing.processing_actions where is_dead_mid_cascade AND crm_id='{crm_id}') a
              inner join augmented_data.order_cycles b on b.parent_id = a.order_id and b.crm_id = '{crm_id}'  and b.decline_reason is null
              and b.time_stamp between '{first_dom}'  AND '{tomorrow}'
              inner join crm_global.orders c on c.order_id =  b.order_id  and c.crm_id =  b.crm_id
              --inner join crm_global.orders  d on d.order_id =  b.parent_id  and d.gateway_id !=  c.gateway_id and c.crm_id =  b.crm_id
              group  by  c.crm_id, c.gateway_id
          )  b  on  a.crm_id  = b.crm_id and a.gateway_id =  b.gateway_id
        where a.crm_id  = '{crm_id}'

        )",
                                  {"schema", "table", "crm_id", "first_dom", "tomorrow"}};

py::object mtd_cascade_report_(const Frame& frame) {
    const State& s = frame.state;
    py::handle self = frame.arg(0), crm_id = frame.arg(1);

    auto [schema, table] = sql::own_table(frame, self);
    sql::Value crm = sql::quoted(crm_id, "crm_id");
    sql::Value first_dom = sql::quoted(call_method(self, s.get_first_dom), "get_first_dom()");
    sql::Value tomorrow = sql::quoted(call_method(self, s.get_get_tomorrow), "get_get_tomorrow()");
    py::object query = statement(schema, table, crm, first_dom, tomorrow);

    py::object df = call(getattr(frame.global(s.pd), s.read_sql), query, getattr(self, s.engine));
    fill_missing(s, df, s.cascade_cap, s.default_cap);
    fill_missing(s, df, s.cascade_processed, s.zero);
    setitem(df, s.available, owned(enter([&] {
                return PyNumber_Subtract(getattr(df, s.cascade_cap).ptr(), getattr(df, s.cascade_processed).ptr());
            })));
    return df;
}

}  // namespace

const MethodSpec mtd_cascade_report{
    .name = "mtd_cascade_report", .parameters = {"self", "crm_id"}, .implementation = mtd_cascade_report_};

}  // namespace gateways::settings
