#pragma once

namespace gateways {

// Whether the calling thread's C stack is nearly used up. The interpreter counts Python
// frames against its recursion limit, but methods that reach each other through C use
// more stack per level than a Python call does: this keeps a raised limit from becoming
// a crash. It answers for the thread's own stack only: code run on a stack of its own
// (makecontext, as fiber servers do) is counted by the recursion limit alone, and so is
// a thread whose stack's bounds cannot be read.
bool stack_nearly_exhausted();

// One method entry of the calling thread, counted against the interpreter's recursion
// limit for as long as it lives. From CPython 3.14 that limit counts Python frames only,
// and the interpreter's own C-stack check follows the thread's stack: on a stack of its
// own, methods reaching each other would recurse until that stack ends. Counted here,
// they stop at the limit on every version and every stack.
class MethodEntry {
public:
    MethodEntry() noexcept;
    ~MethodEntry() noexcept;
    MethodEntry(const MethodEntry&) = delete;
    MethodEntry& operator=(const MethodEntry&) = delete;

    // Whether this entry lies beyond the recursion limit.
    bool too_deep() const noexcept;
};

}  // namespace gateways
