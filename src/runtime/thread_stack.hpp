#pragma once

#include <cstddef>
#include <cstdint>

namespace gateways {

// The calling thread's stack: its lowest address and its size, or {0, 0} when the system
// does not say.
struct ThreadStack {
    std::uintptr_t lowest = 0;
    std::size_t size = 0;
};

ThreadStack thread_stack() noexcept;

}  // namespace gateways
