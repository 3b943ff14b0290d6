// What a method of the six classes is: its registry entry and the frame it runs in.
#pragma once

#include <vector>

#include "module/python.hpp"
#include "module/state.hpp"

namespace gateways {

// One call's view of its arguments, of the module namespace and of the module's names.
// The arguments are borrowed from the caller for the duration of the call, already bound
// to the method's parameters (defaults filled in).
class Frame {
public:
    Frame(const State& state, PyObject* globals, PyObject* const* args)
        : names(state), globals_(globals), args_(args) {}

    py::handle arg(std::size_t index) const { return args_[index]; }

    // A module-level name (pd, dt, mod_conf, ClientStructure, Db) as bound now:
    // rebinding it in the module is seen by the next use, deleting it is a NameError.
    py::object global(PyObject* name) const;

    const State& names;

private:
    PyObject* globals_;
    PyObject* const* args_;
};

using Implementation = py::object (*)(const Frame&);

// The default values a parameter can have; each method object holds its own.
enum class Default { False, AccountId };

struct MethodSpec {
    const char* name;
    std::vector<const char*> parameters;  // in order, self included for instance methods
    std::vector<Default> defaults;        // for the last parameters, as in a def statement
    bool is_static;
    Implementation implementation;
    const char* file;  // where the traceback entry points
    int line;
};

}  // namespace gateways
