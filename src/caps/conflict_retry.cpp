#include "caps/conflict_retry.hpp"

#include <chrono>
#include <random>
#include <thread>

namespace gateways::caps {
namespace {

constexpr int attempts = 6;
constexpr int first_pause_ms = 10;  // the longest pause before attempt n; it doubles each time

bool is_conflict_code(PyObject* code) {
    return code != nullptr && PyUnicode_Check(code) &&
           (PyUnicode_CompareWithASCIIString(code, "40P01") == 0 ||
            PyUnicode_CompareWithASCIIString(code, "40001") == 0);
}

// The SQLSTATE of a driver's error (psycopg2's pgcode, psycopg's sqlstate), looked for
// under SQLAlchemy's .orig first. Runs with the error being judged fetched aside, so any
// error of its own lookups is dropped.
bool has_conflict_code(const State& s, PyObject* error) {
    PyObject* driver_error = PyObject_GetAttr(error, s.orig);
    if (driver_error == nullptr) {
        PyErr_Clear();
        driver_error = Py_NewRef(error);
    }
    bool conflict = false;
    for (PyObject* name : {s.pgcode, s.sqlstate}) {
        PyObject* code = PyObject_GetAttr(driver_error, name);
        if (code == nullptr) {
            PyErr_Clear();
            continue;
        }
        conflict = is_conflict_code(code);
        Py_DECREF(code);
        if (conflict) {
            break;
        }
    }
    Py_DECREF(driver_error);
    return conflict;
}

// Whether the error being raised is a conflict; the error stays as it is.
bool raised_conflict(const State& s) {
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    bool conflict = value != nullptr && PyExceptionInstance_Check(value) && has_conflict_code(s, value);
    PyErr_Restore(type, value, traceback);
    return conflict;
}

// A random pause, longer after each failed attempt, without the interpreter lock.
void pause_before(int attempt) {
    thread_local std::minstd_rand random{std::random_device{}()};
    int longest = first_pause_ms << (attempt - 2);
    std::uniform_int_distribution<int> microseconds(longest * 250, longest * 1000);
    auto span = std::chrono::microseconds(microseconds(random));
    Py_BEGIN_ALLOW_THREADS
    std::this_thread::sleep_for(span);
    Py_END_ALLOW_THREADS
    check(PyErr_CheckSignals());
}

}  // namespace

void execute_retrying_conflicts(const State& s, py::handle execute, py::handle statement) {
    for (int attempt = 1;; ++attempt) {
        PyObject* stack[] = {nullptr, statement.ptr()};
        PyObject* result = PyObject_Vectorcall(execute.ptr(), stack + 1, 1 | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr);
        if (result != nullptr) {
            Py_DECREF(result);
            return;
        }
        if (attempt == attempts || !raised_conflict(s)) {
            throw PythonError{};
        }
        PyErr_Clear();
        pause_before(attempt + 1);
    }
}

}  // namespace gateways::caps
