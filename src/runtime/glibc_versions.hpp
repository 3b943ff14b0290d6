#pragma once

// A portable build (wheels) runs on systems older than the one that builds it. Where the
// builder's glibc gave a function a newer symbol version but keeps the old one for the
// same code, references bind the old one, which glibc 2.17 and later all define.
#include <pthread.h>

#if defined(GATEWAYS_PORTABLE) && defined(__GLIBC__)
#if defined(__x86_64__)
#define GATEWAYS_GLIBC_BASE "GLIBC_2.2.5"
#elif defined(__aarch64__)
#define GATEWAYS_GLIBC_BASE "GLIBC_2.17"
#else
#error "a portable build names the base glibc version of this architecture"
#endif
// 2.32 and 2.34 moved these from libpthread into libc under new versions.
__asm__(".symver pthread_getattr_np,pthread_getattr_np@" GATEWAYS_GLIBC_BASE);
__asm__(".symver pthread_attr_getstack,pthread_attr_getstack@" GATEWAYS_GLIBC_BASE);
#endif
