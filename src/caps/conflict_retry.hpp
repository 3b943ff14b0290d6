#pragma once

#include "module/method.hpp"

namespace gateways::caps {

// execute(statement), sent again when the server rolled it back for a deadlock (SQLSTATE
// 40P01) or a serialization failure (40001): an autocommitted statement that failed so has
// changed nothing. A few attempts with a short random pause between them; then the last
// error passes on unchanged. Any other error passes on at once.
void execute_retrying_conflicts(const State& names, py::handle execute, py::handle statement);

}  // namespace gateways::caps
