#pragma once

namespace gateways {

// Whether the calling thread's C stack is nearly used up. The interpreter counts Python
// frames against its recursion limit, but methods that reach each other through C use
// more stack per level than a Python call does: this keeps a raised limit from becoming
// a crash. It answers for the thread's own stack only: code run on a stack of its own
// (makecontext, as fiber servers do) is counted by the recursion limit alone, and so is
// a thread whose stack's bounds cannot be read.
bool stack_nearly_exhausted();

}  // namespace gateways
