// Entering the interpreter from C++.
//
// At finalisation CPython 3.10 to 3.13 ends a daemon thread that asks for the lock again
// with pthread_exit. Its forced unwinding would run the destructors of the C++ frames it
// passes, which drop references without the lock while the main thread finalises. Every
// call into the interpreter that can run Python code, and so wait for the lock, is made
// through `enter`: such an unwinding stops where it reaches C++ and the thread is parked
// for the rest of the process, as CPython 3.14 parks it itself. Nothing of the method
// runs again and nothing is released; the process exits as it would without the thread.
#pragma once

#include <cxxabi.h>

namespace gateways {

// Never returns: the thread waits until the process ends.
[[noreturn]] void park_thread() noexcept;

template <class Call>
inline decltype(auto) enter(Call&& call) {
    try {
        return call();
    } catch (abi::__forced_unwind&) {
        park_thread();
    }
}

}  // namespace gateways
