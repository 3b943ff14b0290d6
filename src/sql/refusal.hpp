#pragma once

#include "runtime/objects.hpp"

namespace gateways::sql {

// Raises ValueError("<argument> cannot go into SQL text: <rule>, not <value shown>") and
// throws PythonError. The value is shown by its repr, cut at a character boundary; as
// ascii() when the repr holds what cannot be encoded; by its type when the repr raises.
[[noreturn]] void refuse(py::handle value, const char* argument, const char* rule);

}  // namespace gateways::sql
