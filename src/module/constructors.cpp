// The six constructors: the base constructor, called through the module-level base name
// as a plain function, binds the object to its table; then the object declares the
// table's key constraint, with a new column list every time.
#include "module/constructors.hpp"

#include "module/text_list.hpp"

namespace gateways::constructors {
namespace {

// ClientStructure.__init__(self, db, table, account_id)
py::object init_client_table(const Frame& frame, const char* table, const char* constraint,
                             std::initializer_list<const char*> columns) {
    py::handle self = frame.arg(0), db = frame.arg(1), account_id = frame.arg(2);
    frame.global("ClientStructure").attr("__init__")(self, db, table, account_id);
    self.attr("set_constraint")(constraint, text_list(columns));
    return py::none();
}

// Db.__init__(self, db, "processing", table)
py::object init_processing_table(const Frame& frame, const char* table, const char* constraint,
                                 std::initializer_list<const char*> columns) {
    py::handle self = frame.arg(0), db = frame.arg(1);
    frame.global("Db").attr("__init__")(self, db, "processing", table);
    self.attr("set_constraint")(constraint, text_list(columns));
    return py::none();
}

py::object init_gateway_settings(const Frame& frame) {
    return init_client_table(frame, "gateway_settings", "gateway_settings_pk", {"gateway_id", "crm_id"});
}

py::object init_gateway_names(const Frame& frame) {
    return init_client_table(frame, "gateways", "gatewaynames_pk", {"id", "crm_id"});
}

py::object init_gateway_steps(const Frame& frame) {
    // One text naming both columns, as the steps table declares its key.
    return init_client_table(frame, "steps", "steps_pk", {"app_step_id, crm_id"});
}

py::object init_cap_report(const Frame& frame) {
    return init_processing_table(frame, "cap", "cap_pk", {"mid_id", "step", "processor"});
}

py::object init_cc_type_cap_report(const Frame& frame) {
    return init_processing_table(frame, "cap_cc_type", "cap_cc_type_pk",
                                 {"mid_id", "step", "processor", "cc_type"});
}

py::object init_trailing_cap_report(const Frame& frame) {
    return init_processing_table(frame, "trailing_cap", "trailing_cap_pk", {"mid_id", "step", "processor"});
}

}  // namespace

const MethodSpec gateway_settings = {"__init__", {"self", "db", "account_id"}, {Default::AccountId}, false,
                                     init_gateway_settings, __FILE__, __LINE__};
const MethodSpec gateway_names = {"__init__", {"self", "db", "account_id"}, {Default::AccountId}, false,
                                  init_gateway_names, __FILE__, __LINE__};
const MethodSpec gateway_steps = {"__init__", {"self", "db", "account_id"}, {Default::AccountId}, false,
                                  init_gateway_steps, __FILE__, __LINE__};
const MethodSpec cap_report = {"__init__", {"self", "db"}, {}, false, init_cap_report, __FILE__, __LINE__};
const MethodSpec cc_type_cap_report = {"__init__", {"self", "db"}, {}, false, init_cc_type_cap_report,
                                       __FILE__, __LINE__};
const MethodSpec trailing_cap_report = {"__init__", {"self", "db"}, {}, false, init_trailing_cap_report,
                                        __FILE__, __LINE__};

}  // namespace gateways::constructors
