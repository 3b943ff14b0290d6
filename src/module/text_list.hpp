#pragma once

#include <pybind11/pybind11.h>

#include <initializer_list>

namespace gateways {

namespace py = pybind11;

// A new Python list of texts; column lists are built anew for every call.
inline py::list text_list(std::initializer_list<const char*> texts) {
    py::list list;
    for (const char* text : texts) {
        list.append(py::str(text));
    }
    return list;
}

}  // namespace gateways
