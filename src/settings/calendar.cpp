// Date bounds for the reports, from the host's local clock through the module-level dt.
#include "settings/methods.hpp"

namespace gateways::settings {
namespace {

py::object get_first_dom_(const Frame& frame) {
    const State& s = frame.state;
    py::object now = call_method(getattr(frame.global(s.dt), s.datetime), s.now);
    py::object first = call_method_with_keywords(now, s.replace, {}, s.kw_day, {s.one});
    return call_method(first, s.date);
}

py::object get_get_tomorrow_(const Frame& frame) {
    const State& s = frame.state;
    py::object now = call_method(getattr(frame.global(s.dt), s.datetime), s.now);
    py::object one_day = call_with_keywords(getattr(frame.global(s.dt), s.timedelta), {}, s.kw_days, {s.one});
    return call_method(owned(enter([&] { return PyNumber_Add(now.ptr(), one_day.ptr()); })), s.date);
}

}  // namespace

const MethodSpec get_first_dom{
    .name = "get_first_dom", .parameters = {}, .is_static = true, .implementation = get_first_dom_};
const MethodSpec get_get_tomorrow{
    .name = "get_get_tomorrow", .parameters = {}, .is_static = true, .implementation = get_get_tomorrow_};

}  // namespace gateways::settings
