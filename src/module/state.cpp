#include "module/state.hpp"

#include <initializer_list>

namespace gateways {
namespace {

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

bool fill(State* state) {
    bool made = true;
#define GATEWAYS_MAKE_NAME(name) made = made && (state->name = interned(#name)) != nullptr;
#define GATEWAYS_MAKE_TEXT(name, text) made = made && (state->name = interned(text)) != nullptr;
#define GATEWAYS_MAKE_KEYWORDS(name, ...) made = made && (state->name = keywords({__VA_ARGS__})) != nullptr;
    GATEWAYS_INTERNED(GATEWAYS_MAKE_NAME)
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

State* new_state() {
    auto* state = new State();
    if (!fill(state)) {
        delete_state(state);
        return nullptr;
    }
    return state;
}

void delete_state(State* state) {
    clear_state(*state);
#define GATEWAYS_RELEASE(name, ...) Py_CLEAR(state->name);
#define GATEWAYS_RELEASE_NAME(name) Py_CLEAR(state->name);
    GATEWAYS_INTERNED(GATEWAYS_RELEASE_NAME)
    GATEWAYS_TEXTS(GATEWAYS_RELEASE)
    GATEWAYS_KEYWORDS(GATEWAYS_RELEASE)
#undef GATEWAYS_RELEASE
#undef GATEWAYS_RELEASE_NAME
    Py_CLEAR(state->zero);
    Py_CLEAR(state->one);
    Py_CLEAR(state->default_cap);
    state->accepted_names.clear();
    delete state;
}

int visit_state(State& state, visitproc visit, void* arg) {
    Py_VISIT(state.function_type);
    return state.fillna_warns.visit(visit, arg);
}

void clear_state(State& state) {
    Py_CLEAR(state.function_type);
    state.fillna_warns.clear();
}

}  // namespace gateways
