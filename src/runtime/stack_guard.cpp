#include "runtime/stack_guard.hpp"

#include <Python.h>

#include <cstdint>

#include "runtime/thread_stack.hpp"

namespace gateways {
namespace {

// Room left for what runs after the guard answers: raising, unwinding, the caller's
// handling. A quarter of a small thread stack, at most 256 KB.
constexpr std::uintptr_t most_reserved = std::uintptr_t{256} * 1024;

// The bottom of the thread's stack (it grows down) and the reserve above it: the guard
// answers yes in [lowest, lowest + reserved). A reserve of 1 at address 0 answers no for
// every frame; 0 means not yet read.
struct Reserve {
    std::uintptr_t lowest = 0;
    std::uintptr_t reserved = 0;
};

Reserve read_reserve() {
    ThreadStack stack = thread_stack();
    if (stack.size == 0) {
        return {0, 1};
    }
    return {stack.lowest, stack.size / 4 < most_reserved ? stack.size / 4 : most_reserved};
}

// Per thread, read at its first call. Initial-exec TLS: loads from the thread pointer.
__attribute__((tls_model("initial-exec"))) thread_local Reserve reserve;

// Method entries of this thread that have not yet returned.
__attribute__((tls_model("initial-exec"))) thread_local int nested_methods = 0;

}  // namespace

bool stack_nearly_exhausted() {
    if (reserve.reserved == 0) [[unlikely]] {
        reserve = read_reserve();
    }
    // Unsigned: a frame below the thread's stack, which can only be on another stack,
    // wraps to far above the reserve, as does a frame above it.
    std::uintptr_t here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    return here - reserve.lowest < reserve.reserved;
}

MethodEntry::MethodEntry() noexcept {
    ++nested_methods;
}

MethodEntry::~MethodEntry() noexcept {
    --nested_methods;
}

bool MethodEntry::too_deep() const noexcept {
    return nested_methods > Py_GetRecursionLimit();
}

}  // namespace gateways
