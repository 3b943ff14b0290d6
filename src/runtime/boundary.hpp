// The one exception boundary. Every C entry point (a method call, the module's creation
// and execution, the signature getter) runs its C++ through `boundary`, which is noexcept
// and translates every C++ exception into the interpreter's error indicator, so that none
// reaches the interpreter. A forced unwind that arrives here (the thread being ended at
// finalisation) parks the thread instead (interpreter.hpp).
#pragma once

#include <Python.h>

namespace gateways {

// Sets the interpreter's error for the exception being handled. Called only from a
// catch block.
void translate_exception() noexcept;

// body(), or `failure` with the error set when it threw.
template <class Result, class Body>
Result boundary(Result failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        translate_exception();
        return failure;
    }
}

}  // namespace gateways
