// The settings of every CRM with their day lists spread over rows, indexed by gateway.
#include "pandas_versions.hpp"
#include "settings/methods.hpp"

namespace gateways::settings {
namespace {

py::object get_exploded_(const Frame& frame) {
    State& s = frame.state;
    py::handle self = frame.arg(0);

    py::object df = call_method_with_keywords(self, s.get, {}, s.kw_orderBy, {s.gateway_id});
    setattr(df, s.cascade_to, pandas_versions::zero_filled_series(s, frame.global(s.pd), getattr(df, s.cascade_to)));
    py::object exploded = call_method(self, s.explode, df, new_list({s.days, s.days_index}));
    py::object trimmed =
        call_method_with_keywords(exploded, s.drop, {new_list({s.min_hour, s.max_hour})}, s.kw_axis, {s.one});
    return call_method(trimmed, s.set_index, s.gateway_id);
}

}  // namespace

const MethodSpec get_exploded{.name = "get_exploded", .parameters = {"self"}, .implementation = get_exploded_};

}  // namespace gateways::settings
