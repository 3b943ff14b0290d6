#pragma once

namespace gateways {

// Whether the calling thread's C stack is nearly used up. The interpreter counts Python
// frames against its recursion limit, but methods that reach each other through C use
// more stack per level than a Python call does: this keeps a raised limit from becoming
// a crash. Where the stack's bounds cannot be read, it never answers yes.
bool stack_nearly_exhausted();

}  // namespace gateways
