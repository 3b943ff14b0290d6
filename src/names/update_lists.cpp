// For one CRM: the gateway ids that have rows in the names table and in the settings
// table (update lists), and the ids still missing from each (insert lists).
#include "names/methods.hpp"
#include "sql/guards.hpp"
#include "sql/own_table.hpp"
#include "sql/statement.hpp"

#include <initializer_list>

namespace gateways::names {
namespace {

constexpr long first_candidate = 1;
constexpr long last_candidate = 999;

constexpr sql::Template names_rows{"select  id from {schema}.{table} where crm_id = '{crm_id}'",
                                   {"schema", "table", "crm_id"}};
constexpr sql::Template settings_rows{"select gateway_id from {schema}.gateway_settings where crm_id = '{crm_id}'",
                                      {"schema", "crm_id"}};

py::object candidates() {
    py::object list = owned(enter([&] { return PyList_New(last_candidate - first_candidate + 1); }));
    for (long id = first_candidate; id <= last_candidate; ++id) {
        PyList_SET_ITEM(list.ptr(), id - first_candidate, owned(PyLong_FromLong(id)).release().ptr());
    }
    return list;
}

// row[0] of every row, in order; the result is read to the end.
py::object first_column(const State& s, py::handle rows) {
    py::object values = owned(enter([&] { return PyList_New(0); }));
    py::object iterator = owned(enter([&] { return PyObject_GetIter(rows.ptr()); }));
    while (PyObject* next = enter([&] { return PyIter_Next(iterator.ptr()); })) {
        py::object row = owned(next);
        check(enter([&] { return PyList_Append(values.ptr(), getitem(row, s.zero).ptr()); }));
    }
    if (PyErr_Occurred()) {
        throw PythonError{};
    }
    return values;
}

// The values of `sources` that are not in `excluded`, each once (set semantics: value
// equality), in ascending order. Values that cannot be ordered against each other keep
// the order in which they first occur instead.
py::object difference(std::initializer_list<py::handle> sources, py::handle excluded) {
    py::object remaining = owned(enter([&] { return PySet_New(nullptr); }));
    for (py::handle source : sources) {
        for (Py_ssize_t i = 0; i < PyList_GET_SIZE(source.ptr()); ++i) {
            check(enter([&] { return PySet_Add(remaining.ptr(), PyList_GET_ITEM(source.ptr(), i)); }));
        }
    }
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(excluded.ptr()); ++i) {
        check(enter([&] { return PySet_Discard(remaining.ptr(), PyList_GET_ITEM(excluded.ptr(), i)); }));
    }

    py::object values = owned(enter([&] { return PySequence_List(remaining.ptr()); }));
    if (enter([&] { return PyList_Sort(values.ptr()); }) == 0) {
        return values;
    }
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) {
        throw PythonError{};
    }
    PyErr_Clear();
    py::object in_order = owned(enter([&] { return PyList_New(0); }));
    for (py::handle source : sources) {
        for (Py_ssize_t i = 0; i < PyList_GET_SIZE(source.ptr()); ++i) {
            PyObject* value = PyList_GET_ITEM(source.ptr(), i);
            int present = enter([&] { return PySet_Discard(remaining.ptr(), value); });
            check(present);
            if (present == 1) {
                check(enter([&] { return PyList_Append(in_order.ptr(), value); }));
            }
        }
    }
    return in_order;
}

py::object update_lists_(const Frame& frame) {
    const State& s = frame.state;
    py::handle self = frame.arg(0), crm_id = frame.arg(1);

    py::object gt_list = candidates();

    auto [schema, table] = sql::own_table(frame, self);
    sql::Value crm = sql::quoted(crm_id, "crm_id");
    py::object gateways_up =
        first_column(s, call_method(getattr(self, s.engine), s.execute, names_rows(schema, table, crm)));
    py::object gateway_set_up =
        first_column(s, call_method(getattr(self, s.engine), s.execute, settings_rows(schema, crm)));

    py::object gateways_ins = difference({gt_list}, gateways_up);
    py::object gateway_set_ins = difference({gt_list, gateways_up}, gateway_set_up);

    py::object lists = owned(enter([&] { return PyDict_New(); }));
    check(enter([&] { return PyDict_SetItem(lists.ptr(), s.gt_list, gt_list.ptr()); }));
    check(enter([&] { return PyDict_SetItem(lists.ptr(), s.gateways_up, gateways_up.ptr()); }));
    check(enter([&] { return PyDict_SetItem(lists.ptr(), s.gateway_set_up, gateway_set_up.ptr()); }));
    check(enter([&] { return PyDict_SetItem(lists.ptr(), s.gateways_ins, gateways_ins.ptr()); }));
    check(enter([&] { return PyDict_SetItem(lists.ptr(), s.gateway_set_ins, gateway_set_ins.ptr()); }));
    return lists;
}

}  // namespace

const MethodSpec update_lists{
    .name = "update_lists", .parameters = {"self", "crm_id"}, .implementation = update_lists_};

}  // namespace gateways::names
