#include "module/state.hpp"

#include <initializer_list>

namespace gateways {
namespace {

constexpr const char* capsule_name = "gateways.state";

PyObject* interned(const char* text) {
    return PyUnicode_InternFromString(text);
}

PyObject* keywords(std::initializer_list<const char*> names) {
    PyObject* tuple = PyTuple_New(static_cast<Py_ssize_t>(names.size()));
    if (tuple == nullptr) {
        return nullptr;
    }
    Py_ssize_t index = 0;
    for (const char* name : names) {
        PyObject* text = interned(name);
        if (text == nullptr) {
            Py_DECREF(tuple);
            return nullptr;
        }
        PyTuple_SET_ITEM(tuple, index++, text);
    }
    return tuple;
}

void release(State* state) {
#define GATEWAYS_RELEASE(name, ...) Py_XDECREF(state->name);
#define GATEWAYS_RELEASE_NAME(name) Py_XDECREF(state->name);
    GATEWAYS_NAMES(GATEWAYS_RELEASE_NAME)
    GATEWAYS_TEXTS(GATEWAYS_RELEASE)
    GATEWAYS_KEYWORDS(GATEWAYS_RELEASE)
#undef GATEWAYS_RELEASE
#undef GATEWAYS_RELEASE_NAME
    Py_XDECREF(state->zero);
    Py_XDECREF(state->one);
    Py_XDECREF(state->default_cap);
    Py_XDECREF(state->pandas_asked);
    delete state;
}

void destroy(PyObject* capsule) {
    release(static_cast<State*>(PyCapsule_GetPointer(capsule, capsule_name)));
}

bool fill(State* state) {
    bool made = true;
#define GATEWAYS_MAKE_NAME(name) made = made && (state->name = interned(#name)) != nullptr;
#define GATEWAYS_MAKE_TEXT(name, text) made = made && (state->name = interned(text)) != nullptr;
#define GATEWAYS_MAKE_KEYWORDS(name, ...) made = made && (state->name = keywords({__VA_ARGS__})) != nullptr;
    GATEWAYS_NAMES(GATEWAYS_MAKE_NAME)
    GATEWAYS_TEXTS(GATEWAYS_MAKE_TEXT)
    GATEWAYS_KEYWORDS(GATEWAYS_MAKE_KEYWORDS)
#undef GATEWAYS_MAKE_NAME
#undef GATEWAYS_MAKE_TEXT
#undef GATEWAYS_MAKE_KEYWORDS
    made = made && (state->zero = PyLong_FromLong(0)) != nullptr;
    made = made && (state->one = PyLong_FromLong(1)) != nullptr;
    made = made && (state->default_cap = PyFloat_FromDouble(20000.0)) != nullptr;
    return made;
}

}  // namespace

PyObject* new_state() {
    auto* state = new State();
    if (!fill(state)) {
        release(state);
        return nullptr;
    }
    PyObject* capsule = PyCapsule_New(state, capsule_name, destroy);
    if (capsule == nullptr) {
        release(state);
    }
    return capsule;
}

const State* state_of(PyObject* capsule) {
    return static_cast<const State*>(PyCapsule_GetPointer(capsule, capsule_name));
}

}  // namespace gateways
