// The exact strs that last passed the plain-name check, held by the module's state. An
// object's text cannot change, so one found here passes again without being read; the
// references keep the objects, and so their identities, alive until the state goes.
#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>

namespace gateways::sql {

class AcceptedNames {
public:
    AcceptedNames() = default;
    AcceptedNames(const AcceptedNames&) = delete;
    AcceptedNames& operator=(const AcceptedNames&) = delete;
    ~AcceptedNames() {
        for (PyObject*& name : held_) {
            Py_CLEAR(name);
        }
    }

    bool contains(PyObject* name) const { return held_[slot(name)] == name; }

    // Holds `name`, an exact str that passed, in place of the one in its slot.
    void add(PyObject* name) {
        PyObject*& entry = held_[slot(name)];
        PyObject* previous = entry;
        entry = Py_NewRef(name);
        Py_XDECREF(previous);
    }

private:
    static constexpr std::size_t slots = 16;
    static std::size_t slot(PyObject* name) { return (reinterpret_cast<std::uintptr_t>(name) >> 4) % slots; }

    PyObject* held_[slots] = {};
};

}  // namespace gateways::sql
