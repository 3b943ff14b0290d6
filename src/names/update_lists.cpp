// For one CRM: the gateway ids that have rows in the names table and in the settings
// table (update lists), and the ids still missing from each (insert lists).
#include "names/methods.hpp"
#include "sql/guards.hpp"
#include "sql/statement.hpp"

#include <initializer_list>

namespace gateways::names {
namespace {

constexpr long first_candidate = 1;
constexpr long last_candidate = 999;

// row[0] of every row, in order; the result is read to the end.
py::list first_column(py::handle rows) {
    py::list values;
    py::int_ first(0);
    for (py::handle row : rows) {
        values.append(row[first]);
    }
    return values;
}

// The values of `sources` that are not in `excluded`, each once (set semantics: value
// equality), in ascending order. Values that cannot be ordered against each other keep
// the order in which they first occur instead.
py::list difference(std::initializer_list<py::list> sources, py::list excluded) {
    py::set remaining;
    for (const py::list& source : sources) {
        remaining.attr("update")(source);
    }
    remaining.attr("difference_update")(excluded);

    py::list values(remaining);
    if (PyList_Sort(values.ptr()) == 0) {
        return values;
    }
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) {
        throw py::error_already_set();
    }
    PyErr_Clear();
    py::list in_order;
    for (const py::list& source : sources) {
        for (py::handle value : source) {
            if (remaining.contains(value)) {
                in_order.append(value);
                remaining.attr("discard")(value);
            }
        }
    }
    return in_order;
}

py::object update_lists_(const Frame& frame) {
    py::handle self = frame.arg(0), crm_id = frame.arg(1);

    py::object range = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyRange_Type));
    py::list gt_list(range(first_candidate, last_candidate + 1));

    std::string schema = sql::identifier(self.attr("schema"), "schema");
    std::string table = sql::identifier(self.attr("table"), "table");
    std::string crm = sql::quoted(crm_id, "crm_id");
    py::list gateways_up = first_column(self.attr("engine").attr("execute")(
        sql::fill("select  id from {schema}.{table} where crm_id = '{crm_id}'",
                  {{"schema", schema}, {"table", table}, {"crm_id", crm}})));

    py::list gateway_set_up = first_column(self.attr("engine").attr("execute")(
        sql::fill("select gateway_id from {schema}.gateway_settings where crm_id = '{crm_id}'",
                  {{"schema", schema}, {"crm_id", crm}})));

    py::list gateways_ins = difference({gt_list}, gateways_up);
    py::list gateway_set_ins = difference({gt_list, gateways_up}, gateway_set_up);

    py::dict lists;
    lists["gt_list"] = gt_list;
    lists["gateways_up"] = gateways_up;
    lists["gateway_set_up"] = gateway_set_up;
    lists["gateways_ins"] = gateways_ins;
    lists["gateway_set_ins"] = gateway_set_ins;
    return lists;
}

}  // namespace

const MethodSpec update_lists = {"update_lists", {"self", "crm_id"}, {}, false, update_lists_, __FILE__, __LINE__};

}  // namespace gateways::names
