#pragma once

namespace gateways {

// Warns (RuntimeWarning) when the running interpreter's major.minor differs from the
// version the module was built for; raises if the warning filters make it an error.
void check_interpreter_version();

}  // namespace gateways
