// Portable builds only: what the module, or the libstdc++ linked into it, would take from
// a glibc newer than 2.17, defined here, hidden, so the module loads on older systems.
#include <sys/syscall.h>
#include <unistd.h>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#if defined(GATEWAYS_PORTABLE) && defined(__GLIBC__)

// NOLINTBEGIN(bugprone-reserved-identifier,cppcoreguidelines-avoid-non-const-global-variables)

// 2.32. libstdc++ reads it to skip atomic reference counts while one thread runs; 0 says
// "more than one thread", so counts stay atomic, as they are on older glibc anyway.
extern "C" {
__attribute__((visibility("hidden"))) char __libc_single_threaded = 0;
}

// 2.25 and 2.36. Referenced by std::random_device, which libstdc++'s exception classes
// bring in and the module never calls. Both ask the kernel (getrandom, Linux 3.17 and
// later), as glibc's do.
extern "C" __attribute__((visibility("hidden"))) int getentropy(void* buffer, std::size_t length) noexcept {
    if (length > 256) {
        errno = EIO;
        return -1;
    }
    auto* at = static_cast<unsigned char*>(buffer);
    while (length > 0) {
        long got = syscall(SYS_getrandom, at, length, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        at += got;
        length -= static_cast<std::size_t>(got);
    }
    return 0;
}

// Like glibc's, it ends the process when the kernel gives no entropy.
extern "C" __attribute__((visibility("hidden"))) std::uint32_t arc4random() noexcept {
    std::uint32_t value = 0;
    if (getentropy(&value, sizeof value) != 0) {
        std::abort();
    }
    return value;
}

// NOLINTEND(bugprone-reserved-identifier,cppcoreguidelines-avoid-non-const-global-variables)

#endif
