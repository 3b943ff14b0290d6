#include "runtime/interpreter.hpp"

#include <unistd.h>

namespace gateways {

void park_thread() noexcept {
    for (;;) {
        pause();
    }
}

}  // namespace gateways
