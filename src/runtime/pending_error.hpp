// The exception being raised, set aside while the code that caught it looks at it, as a
// Python except clause holds it.
#pragma once

#include "runtime/references.hpp"

namespace gateways {

class PendingError {
public:
    // Takes the exception out of the error indicator, which is clear afterwards.
    PendingError();

    // The exception object.
    py::handle value() const { return value_; }

    // Raises it again, unchanged.
    void restore();

    // What the code looking at it raised passes on in its place, with it as its context,
    // as an exception raised inside an except clause does.
    [[noreturn]] void replaced();

private:
    py::object value_;
};

}  // namespace gateways
