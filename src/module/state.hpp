// The module's state, owned by the module object: every name and fixed value the methods
// use, the type of its methods, and the caches. Made when the module is executed and
// released with the module. Names are interned, so that attribute and dictionary lookups
// find them by identity and the keyword names of a call match the callee's parameters at
// once.
#pragma once

#include <Python.h>

#include "module/object_fact.hpp"
#include "sql/accepted_names.hpp"

namespace gateways {

// The lists keep one line per group of names, which the formatter would reflow.
// clang-format off
// Names whose text is the member's name: module-level names, attributes, columns,
// keywords and texts passed on as values.
#define GATEWAYS_INTERNED(X)                                                                                        \
    X(pd) X(dt) X(mod_conf) X(ClientStructure) X(Db)                                                             \
    X(engine) X(schema) X(table) X(get) X(execute) X(scalar) X(set_constraint) X(explode)                        \
    X(read_sql) X(fillna) X(merge) X(rename) X(loc) X(isna) X(columns) X(reindex) X(drop) X(set_index)           \
    X(drop_duplicates) X(to_dict) X(dropna) X(tolist)                                                            \
    X(datetime) X(now) X(replace) X(date) X(timedelta) X(timeOffset)                                             \
    X(cap_report) X(get_first_dom) X(get_get_tomorrow) X(today_cap_report) X(mtd_cap_report)                    \
    X(crm_id) X(gateway_id) X(id) X(gateway_corp) X(mid_id) X(step) X(processor) X(cc_type) X(alert_level)       \
    X(monthly_cap) X(processed) X(available) X(cascade_cap) X(cascade_processed) X(cascade_to)                   \
    X(days) X(days_index) X(min_hour) X(max_hour) X(mid_number) X(records) X(left)                              \
    X(gateway_settings) X(gateways) X(steps) X(processing) X(cap) X(cap_cc_type) X(trailing_cap)                \
    X(gateway_settings_pk) X(gatewaynames_pk) X(steps_pk) X(cap_pk) X(cap_cc_type_pk) X(trailing_cap_pk)         \
    X(gt_list) X(gateways_up) X(gateway_set_up) X(gateways_ins) X(gateway_set_ins)                             \
    X(orig) X(pgcode) X(sqlstate) X(in_transaction) X(Parameter) X(POSITIONAL_OR_KEYWORD) X(Signature)                            \
    X(copy) X(iloc) X(hasnans) X(dtype) X(to_numpy) X(isetitem) X(infer_objects) X(Series)        \
    X(index) X(name)

// Texts that are not names.
#define GATEWAYS_TEXTS(X)                                \
    X(init, "__init__")                                  \
    X(empty, "")                                         \
    X(empty_parameter, "empty")                          \
    X(steps_key, "app_step_id, crm_id")                  \
    X(version_attr, "__version__")

// Keyword-name tuples of the calls that pass keywords.
#define GATEWAYS_KEYWORDS(X)                             \
    X(kw_day, "day")                                     \
    X(kw_days, "days")                                   \
    X(kw_hours, "hours")                                 \
    X(kw_axis, "axis")                                   \
    X(kw_columns, "columns")                             \
    X(kw_where, "where")                                 \
    X(kw_orderBy, "orderBy")                             \
    X(kw_orient, "orient")                               \
    X(kw_default, "default")                             \
    X(kw_on_how, "on", "how")                            \
    X(kw_columns_where, "columns", "where")              \
    X(kw_dtype_copy, "dtype", "copy")                    \
    X(kw_index_name, "index", "name")
// clang-format on

struct State {
#define GATEWAYS_NAME_MEMBER(name) PyObject* name = nullptr;
#define GATEWAYS_OTHER_MEMBER(name, ...) PyObject* name = nullptr;
    GATEWAYS_INTERNED(GATEWAYS_NAME_MEMBER)
    GATEWAYS_TEXTS(GATEWAYS_OTHER_MEMBER)
    GATEWAYS_KEYWORDS(GATEWAYS_OTHER_MEMBER)
#undef GATEWAYS_NAME_MEMBER
#undef GATEWAYS_OTHER_MEMBER

    PyObject* zero = nullptr;         // 0
    PyObject* one = nullptr;          // 1
    PyObject* default_cap = nullptr;  // 20000.0, the cap of a gateway that has none

    PyTypeObject* function_type = nullptr;  // the type of the module's methods

    sql::AcceptedNames accepted_names;  // schema and table names already checked

    // Whether the pandas module last asked warns when fillna infers object dtypes (2.2
    // and 2.3 do).
    ObjectFact<bool> fillna_warns;
};

// A new state with every name and fixed value made; null with the error set when one
// cannot be made.
State* new_state();

// Releases everything the state holds, and the state.
void delete_state(State* state);

// The module's garbage-collector support: what may take part in a reference cycle (the
// type, which refers to the module, and the objects the caches learnt about), visited
// and cleared alike.
int visit_state(State& state, visitproc visit, void* arg);
void clear_state(State& state);

}  // namespace gateways
