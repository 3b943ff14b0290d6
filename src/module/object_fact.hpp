// One fact learnt about one object (such as what the running pandas does), kept with a
// strong reference to the object so that its identity stays its own. Read and replaced
// under a lock of its own, which is never held while Python code runs.
#pragma once

#include <Python.h>

#include <mutex>
#include <optional>

namespace gateways {

template <class Fact>
class ObjectFact {
public:
    ObjectFact() = default;
    ObjectFact(const ObjectFact&) = delete;
    ObjectFact& operator=(const ObjectFact&) = delete;
    ~ObjectFact() { clear(); }

    // The fact, when it was learnt about this very object.
    std::optional<Fact> about(PyObject* object) {
        std::lock_guard<std::mutex> hold(lock_);
        if (object_ != nullptr && object_ == object) {
            return fact_;
        }
        return std::nullopt;
    }

    void learn(PyObject* object, Fact fact) {
        PyObject* previous = nullptr;
        {
            std::lock_guard<std::mutex> hold(lock_);
            previous = object_;
            object_ = Py_NewRef(object);
            fact_ = fact;
        }
        Py_XDECREF(previous);
    }

    int visit(visitproc visit, void* arg) {
        Py_VISIT(object_);
        return 0;
    }

    void clear() {
        PyObject* previous = nullptr;
        {
            std::lock_guard<std::mutex> hold(lock_);
            previous = object_;
            object_ = nullptr;
        }
        Py_XDECREF(previous);
    }

private:
    std::mutex lock_;
    PyObject* object_ = nullptr;
    Fact fact_{};
};

}  // namespace gateways
