#pragma once

#include "runtime/method.hpp"

namespace gateways::caps {

// execute(statement), with `execute` the engine's, sent again when the server rolled it back for a deadlock
// (SQLSTATE 40P01) or a serialization failure (40001) and it ran on its own: a statement
// autocommitted so has changed nothing. Within a transaction of the host's (the engine
// answers in_transaction() truly) the whole transaction is lost, so the error passes on
// as the driver raised it, for the host to roll back and run its unit of work again.
// A few attempts with a short random pause between them; then the last error passes on
// unchanged. Any other error passes on at once.
void execute_retrying_conflicts(const State& state, py::handle engine, py::handle execute, py::handle statement);

}  // namespace gateways::caps
