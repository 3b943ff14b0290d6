#include "module/stack_guard.hpp"

#include <cstdint>

#if defined(__linux__)
#include <pthread.h>
#endif

namespace gateways {
namespace {

// Room left for what runs after the guard answers: raising, unwinding, the caller's
// handling. A quarter of a small thread stack, at most 256 KB.
constexpr std::uintptr_t most_reserved = std::uintptr_t{256} * 1024;

// The lowest address the thread may use before the guard answers yes (the stack grows
// down), or 0 when it is not known.
std::uintptr_t lowest_usable() {
#if defined(__linux__)
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) {
        return 0;
    }
    void* base = nullptr;
    std::size_t size = 0;
    int status = pthread_attr_getstack(&attributes, &base, &size);
    pthread_attr_destroy(&attributes);
    if (status != 0 || base == nullptr) {
        return 0;
    }
    std::uintptr_t reserved = size / 4 < most_reserved ? size / 4 : most_reserved;
    return reinterpret_cast<std::uintptr_t>(base) + reserved;
#else
    return 0;
#endif
}

// Per thread, found at its first call; 1 (below every frame) when the bounds are unknown.
// Initial-exec TLS: one load from the thread pointer on every call.
__attribute__((tls_model("initial-exec"))) thread_local std::uintptr_t limit = 0;

}  // namespace

bool stack_nearly_exhausted() {
    if (limit == 0) [[unlikely]] {
        std::uintptr_t lowest = lowest_usable();
        limit = lowest != 0 ? lowest : 1;
    }
    return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) < limit;
}

}  // namespace gateways
