#include "module/version_check.hpp"

#include "runtime/references.hpp"

#include <cstdio>

#ifndef GATEWAYS_COMPILED_MAJOR
#define GATEWAYS_COMPILED_MAJOR PY_MAJOR_VERSION
#define GATEWAYS_COMPILED_MINOR PY_MINOR_VERSION
#endif

namespace gateways {

void check_interpreter_version() {
    // The version text starts "major.minor.micro"; the micro version does not matter.
    int major = 0, minor = 0;
    std::sscanf(Py_GetVersion(), "%d.%d", &major, &minor);
    if (major == GATEWAYS_COMPILED_MAJOR && minor == GATEWAYS_COMPILED_MINOR) {
        return;
    }
    if (PyErr_WarnFormat(
            PyExc_RuntimeWarning, 1, "compile time Python version %d.%d of module '%.100s' %s runtime version %d.%d",
            GATEWAYS_COMPILED_MAJOR, GATEWAYS_COMPILED_MINOR, "gateways", "does not match", major, minor) < 0) {
        throw PythonError{};
    }
}

}  // namespace gateways
