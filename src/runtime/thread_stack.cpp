// Compiled without link-time optimisation: the symbol versions of glibc_versions.hpp are
// top-level assembly, which LTO does not carry over to the calls below.
#include "runtime/thread_stack.hpp"

#include "runtime/glibc_versions.hpp"

namespace gateways {

ThreadStack thread_stack() noexcept {
#if defined(__linux__)
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
        void* base = nullptr;
        std::size_t size = 0;
        int status = pthread_attr_getstack(&attributes, &base, &size);
        pthread_attr_destroy(&attributes);
        if (status == 0 && base != nullptr) {
            return {reinterpret_cast<std::uintptr_t>(base), size};
        }
    }
#endif
    return {};
}

}  // namespace gateways
