// The exact strs that last passed the plain-name check, held by the module's state. An
// object's text cannot change, so one found here passes again without being read; the
// references keep the objects, and so their identities, alive while they are held.
// A slot is read and replaced atomically: a name is released only by the one exchange
// that took it out, so no interleaving of threads releases it twice.
#pragma once

#include <Python.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace gateways::sql {

class AcceptedNames {
public:
    AcceptedNames() = default;
    AcceptedNames(const AcceptedNames&) = delete;
    AcceptedNames& operator=(const AcceptedNames&) = delete;
    ~AcceptedNames() { clear(); }

    bool contains(PyObject* name) const { return held_[slot(name)].load(std::memory_order_acquire) == name; }

    // Holds `name`, an exact str that passed, in place of the one in its slot.
    void add(PyObject* name) {
        PyObject* previous = held_[slot(name)].exchange(Py_NewRef(name), std::memory_order_acq_rel);
        Py_XDECREF(previous);  // an exact str: releasing it runs no Python code
    }

    void clear() {
        for (std::atomic<PyObject*>& entry : held_) {
            Py_XDECREF(entry.exchange(nullptr, std::memory_order_acq_rel));
        }
    }

private:
    static constexpr std::size_t slots = 16;
    static std::size_t slot(PyObject* name) { return (reinterpret_cast<std::uintptr_t>(name) >> 4) % slots; }

    std::atomic<PyObject*> held_[slots] = {};
};

}  // namespace gateways::sql
