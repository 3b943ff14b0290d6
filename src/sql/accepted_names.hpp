// The exact strs that last passed the plain-name check, held by the module's state. An
// object's text cannot change, so one found here passes again without being read; the
// references keep the objects, and so their identities, alive while they are held.
// Each name has a bucket of two ways, so that two names whose addresses share a bucket
// (an object's schema and table, say) do not keep pushing each other out. A way is read
// and replaced atomically: a name is released only by the one exchange that took it out
// of the table, so no interleaving of threads releases it twice.
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

    bool contains(PyObject* name) const {
        const std::atomic<PyObject*>* ways = bucket(name);
        return ways[0].load(std::memory_order_acquire) == name || ways[1].load(std::memory_order_acquire) == name;
    }

    // Holds `name`, an exact str that passed, in the first way of its bucket; the name
    // there moves to the second way, and the one in the second way is released.
    void add(PyObject* name) {
        std::atomic<PyObject*>* ways = bucket(name);
        PyObject* moved = ways[0].exchange(Py_NewRef(name), std::memory_order_acq_rel);
        PyObject* released = ways[1].exchange(moved, std::memory_order_acq_rel);
        Py_XDECREF(released);  // an exact str: releasing it runs no Python code
    }

    void clear() {
        for (std::atomic<PyObject*>& entry : held_) {
            Py_XDECREF(entry.exchange(nullptr, std::memory_order_acq_rel));
        }
    }

private:
    static constexpr std::size_t buckets = 8;
    std::atomic<PyObject*>* bucket(PyObject* name) {
        return &held_[2 * ((reinterpret_cast<std::uintptr_t>(name) >> 4) % buckets)];
    }
    const std::atomic<PyObject*>* bucket(PyObject* name) const {
        return &held_[2 * ((reinterpret_cast<std::uintptr_t>(name) >> 4) % buckets)];
    }

    std::atomic<PyObject*> held_[2 * buckets] = {};
};

}  // namespace gateways::sql
