#include "runtime/calls.hpp"

#include <cstddef>
#include <stdexcept>

namespace gateways {
namespace {

// Enough for every call the methods make: a spare slot, self, and the arguments.
constexpr std::size_t max_arguments = 8;

py::object vectorcall_with_keywords(PyObject* name, py::handle first, std::initializer_list<py::handle> positional,
                                    PyObject* keywords, std::initializer_list<py::handle> values) {
    PyObject* stack[max_arguments + 2];
    if (positional.size() + values.size() > max_arguments) {
        throw std::logic_error("too many arguments for one call");
    }
    std::size_t count = 1;  // stack[0] is the spare slot
    stack[count++] = first.ptr();
    for (py::handle argument : positional) {
        stack[count++] = argument.ptr();
    }
    for (py::handle value : values) {
        stack[count++] = value.ptr();
    }
    std::size_t given = positional.size() + 1;  // `first` included
    return owned(enter([&] {
        if (name != nullptr) {
            return PyObject_VectorcallMethod(name, stack + 1, given | PY_VECTORCALL_ARGUMENTS_OFFSET, keywords);
        }
        // A plain call: `first` is the callable, not an argument.
        return PyObject_Vectorcall(first.ptr(), stack + 2, (given - 1) | PY_VECTORCALL_ARGUMENTS_OFFSET, keywords);
    }));
}

}  // namespace

py::object call_with_keywords(py::handle callable, std::initializer_list<py::handle> positional, PyObject* keywords,
                              std::initializer_list<py::handle> values) {
    return vectorcall_with_keywords(nullptr, callable, positional, keywords, values);
}

py::object call_method_with_keywords(py::handle self, PyObject* name, std::initializer_list<py::handle> positional,
                                     PyObject* keywords, std::initializer_list<py::handle> values) {
    return vectorcall_with_keywords(name, self, positional, keywords, values);
}

}  // namespace gateways
