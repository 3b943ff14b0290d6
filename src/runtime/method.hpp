// What a method of the six classes is: its registry entry and the frame it runs in.
#pragma once

#include <vector>

#include "module/state.hpp"
#include "runtime/calls.hpp"
#include "runtime/objects.hpp"

namespace gateways {

// One call's view of its arguments, of the module namespace and of the module's state.
// The arguments are borrowed from the caller for the duration of the call, already bound
// to the method's parameters (defaults filled in).
class Frame {
public:
    Frame(State& state, PyObject* globals, PyObject* const* args) : state(state), globals_(globals), args_(args) {}

    py::handle arg(std::size_t index) const { return args_[index]; }

    // A module-level name (pd, dt, mod_conf, ClientStructure, Db) as bound now:
    // rebinding it in the module is seen by the next use, deleting it is a NameError.
    py::object global(PyObject* name) const;

    State& state;

private:
    PyObject* globals_;
    PyObject* const* args_;
};

using Implementation = py::object (*)(const Frame&);

// The default values a parameter can have; each method object holds its own.
enum class Default { False, AccountId };

// A method's registry entry, written with designated initializers; where it is written
// is where its traceback entry points.
struct MethodSpec {
    const char* name;
    std::vector<const char*> parameters;  // in order, self included for instance methods
    std::vector<Default> defaults = {};   // for the last parameters, as in a def statement
    bool is_static = false;
    Implementation implementation;
    // Where the entry is written: these builtins, as default member initializers, name the
    // point of the aggregate initialization (std::source_location would too, but the
    // clang that lints this tree lacks it over libstdc++ 12).
    const char* file = __builtin_FILE();
    int line = __builtin_LINE();
};

}  // namespace gateways
