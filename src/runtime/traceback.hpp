#pragma once

namespace gateways {

// Adds an entry to the traceback of the exception being raised, as if a Python frame
// named `function` at `file`:`line` had been left by it. The exception stays the same object.
void add_traceback_entry(const char* function, const char* file, int line);

}  // namespace gateways
