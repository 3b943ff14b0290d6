// This month's use of each gateway's cascade cap: the orders of cycles descending from
// an order with a dead-MID cascade action, summed per gateway they were processed on.
#include "settings/methods.hpp"
#include "sql/guards.hpp"
#include "sql/statement.hpp"

namespace gateways::settings {
namespace {

// The "--" line is an SQL comment: it must keep its own line.
constexpr std::string_view statement = R"(
        select a.crm_id, a.gateway_id, a.cascade_cap, b.cascade_processed from {table} a
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

        )";

py::object mtd_cascade_report_(const Frame& frame) {
    py::handle self = frame.arg(0), crm_id = frame.arg(1);

    std::string table = sql::own_table(self);
    std::string crm = sql::quoted(crm_id, "crm_id");
    std::string first_dom = sql::quoted(self.attr("get_first_dom")(), "get_first_dom()");
    std::string tomorrow = sql::quoted(self.attr("get_get_tomorrow")(), "get_get_tomorrow()");
    py::str query = sql::fill(statement, {{"table", table}, {"crm_id", crm}, {"first_dom", first_dom},
                                          {"tomorrow", tomorrow}});

    py::object df = frame.global("pd").attr("read_sql")(query, self.attr("engine"));
    df.attr("loc")[py::make_tuple(df.attr("cascade_cap").attr("isna")(), "cascade_cap")] = py::float_(20000.0);
    df.attr("loc")[py::make_tuple(df.attr("cascade_processed").attr("isna")(), "cascade_processed")] = py::int_(0);
    df[py::str("available")] = df.attr("cascade_cap") - df.attr("cascade_processed");
    return df;
}

}  // namespace

const MethodSpec mtd_cascade_report = {"mtd_cascade_report", {"self", "crm_id"}, {}, false, mtd_cascade_report_,
                                       __FILE__, __LINE__};

}  // namespace gateways::settings
