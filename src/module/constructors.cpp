// The six constructors: the base constructor, called through the module-level base name
// as a plain function, binds the object to its table; then the object declares the
// table's key constraint, with a new column list every time.
#include "module/constructors.hpp"

namespace gateways::constructors {
namespace {

// ClientStructure.__init__(self, db, table, account_id)
py::object init_client_table(const Frame& frame, PyObject* table, PyObject* constraint,
                             std::initializer_list<PyObject*> columns) {
    const State& s = frame.state;
    py::handle self = frame.arg(0), db = frame.arg(1), account_id = frame.arg(2);
    call(getattr(frame.global(s.ClientStructure), s.init), self, db, table, account_id);
    call_method(self, s.set_constraint, constraint, new_list(columns));
    return py::none();
}

// Db.__init__(self, db, "processing", table)
py::object init_processing_table(const Frame& frame, PyObject* table, PyObject* constraint,
                                 std::initializer_list<PyObject*> columns) {
    const State& s = frame.state;
    py::handle self = frame.arg(0), db = frame.arg(1);
    call(getattr(frame.global(s.Db), s.init), self, db, s.processing, table);
    call_method(self, s.set_constraint, constraint, new_list(columns));
    return py::none();
}

py::object init_gateway_settings(const Frame& frame) {
    const State& s = frame.state;
    return init_client_table(frame, s.gateway_settings, s.gateway_settings_pk, {s.gateway_id, s.crm_id});
}

py::object init_gateway_names(const Frame& frame) {
    const State& s = frame.state;
    return init_client_table(frame, s.gateways, s.gatewaynames_pk, {s.id, s.crm_id});
}

py::object init_gateway_steps(const Frame& frame) {
    // One text naming both columns, as the steps table declares its key.
    const State& s = frame.state;
    return init_client_table(frame, s.steps, s.steps_pk, {s.steps_key});
}

py::object init_cap_report(const Frame& frame) {
    const State& s = frame.state;
    return init_processing_table(frame, s.cap, s.cap_pk, {s.mid_id, s.step, s.processor});
}

py::object init_cc_type_cap_report(const Frame& frame) {
    const State& s = frame.state;
    return init_processing_table(frame, s.cap_cc_type, s.cap_cc_type_pk, {s.mid_id, s.step, s.processor, s.cc_type});
}

py::object init_trailing_cap_report(const Frame& frame) {
    const State& s = frame.state;
    return init_processing_table(frame, s.trailing_cap, s.trailing_cap_pk, {s.mid_id, s.step, s.processor});
}

}  // namespace

const MethodSpec gateway_settings{.name = "__init__",
                                  .parameters = {"self", "db", "account_id"},
                                  .defaults = {Default::AccountId},
                                  .implementation = init_gateway_settings};
const MethodSpec gateway_names{.name = "__init__",
                               .parameters = {"self", "db", "account_id"},
                               .defaults = {Default::AccountId},
                               .implementation = init_gateway_names};
const MethodSpec gateway_steps{.name = "__init__",
                               .parameters = {"self", "db", "account_id"},
                               .defaults = {Default::AccountId},
                               .implementation = init_gateway_steps};
const MethodSpec cap_report{.name = "__init__", .parameters = {"self", "db"}, .implementation = init_cap_report};
const MethodSpec cc_type_cap_report{
    .name = "__init__", .parameters = {"self", "db"}, .implementation = init_cc_type_cap_report};
const MethodSpec trailing_cap_report{
    .name = "__init__", .parameters = {"self", "db"}, .implementation = init_trailing_cap_report};

}  // namespace gateways::constructors
