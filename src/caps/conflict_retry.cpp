#include "caps/conflict_retry.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <thread>

#include "runtime/pending_error.hpp"

namespace gateways::caps {
namespace {

constexpr int attempts = 6;
constexpr int first_pause_ms = 10;  // the longest pause after the first failure; it doubles each time

bool is_conflict_code(py::handle code) {
    return PyUnicode_Check(code.ptr()) && (PyUnicode_CompareWithASCIIString(code.ptr(), "40P01") == 0 ||
                                           PyUnicode_CompareWithASCIIString(code.ptr(), "40001") == 0);
}

// object.name, or a null object when the lookup raised an Exception, which is dropped.
// Anything else (KeyboardInterrupt, SystemExit) passes on in place of the error judged.
py::object attribute_or_null(py::handle object, PyObject* name, PendingError& judged) {
    PyObject* value = enter([&] { return PyObject_GetAttr(object.ptr(), name); });
    if (value == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_Exception)) {
            judged.replaced();
        }
        PyErr_Clear();
    }
    return py::reinterpret_steal<py::object>(value);
}

// The SQLSTATE of a driver's error (psycopg2's pgcode, psycopg's sqlstate), looked for
// under SQLAlchemy's .orig first.
bool has_conflict_code(const State& s, PendingError& judged) {
    py::object driver_error = attribute_or_null(judged.value(), s.orig, judged);
    py::handle holder = driver_error ? driver_error : judged.value();
    for (PyObject* name : {s.pgcode, s.sqlstate}) {
        py::object code = attribute_or_null(holder, name, judged);
        if (code && is_conflict_code(code)) {
            return true;
        }
    }
    return false;
}

// Whether the engine holds a transaction of the host's: its in_transaction() (as a
// SQLAlchemy Connection has) says so. An engine without one runs each statement on its
// own; one whose answer cannot be had is taken as holding one.
bool in_hosts_transaction(const State& s, py::handle engine, PendingError& judged) {
    PyObject* ask = enter([&] { return PyObject_GetAttr(engine.ptr(), s.in_transaction); });
    if (ask == nullptr) {
        if (PyErr_ExceptionMatches(PyExc_AttributeError)) {
            PyErr_Clear();
            return false;
        }
    } else {
        py::object in_transaction = owned(ask);
        PyObject* answer = enter([&] { return PyObject_CallNoArgs(in_transaction.ptr()); });
        if (answer != nullptr) {
            py::object given = owned(answer);
            int truth = enter([&] { return PyObject_IsTrue(given.ptr()); });
            if (truth >= 0) {
                return truth != 0;
            }
        }
    }
    if (!PyErr_ExceptionMatches(PyExc_Exception)) {
        judged.replaced();
    }
    PyErr_Clear();
    return true;
}

// Whether the statement that raised the error being raised may be sent again. The error
// stays as it is.
bool may_send_again(const State& s, py::handle engine) {
    PendingError judged;
    bool again = has_conflict_code(s, judged) && !in_hosts_transaction(s, engine, judged);
    judged.restore();
    return again;
}

// A random pause after the nth failure, twice as long at most as after the one before,
// taken without the interpreter lock; a signal that arrived meanwhile is handled.
void backoff(int failures) {
    // Seeded from the thread and the clock: the pauses need only differ between threads.
    // std::random_device may throw where no entropy source is open to the process.
    thread_local std::minstd_rand random{static_cast<std::uint_fast32_t>(
        std::hash<std::thread::id>{}(std::this_thread::get_id()) ^
        static_cast<std::size_t>(std::chrono::steady_clock::now().time_since_epoch().count()))};
    int longest = first_pause_ms << (failures - 1);
    std::uniform_int_distribution<int> microseconds(longest * 250, longest * 1000);
    auto span = std::chrono::microseconds(microseconds(random));
    without_lock([&] { std::this_thread::sleep_for(span); });
    handle_signals();
}

}  // namespace

void execute_retrying_conflicts(const State& s, py::handle engine, py::handle execute, py::handle statement) {
    for (int failures = 0;;) {
        try {
            call(execute, statement);
            return;
        } catch (const PythonError&) {
            if (++failures == attempts || !may_send_again(s, engine)) {
                throw;
            }
        }
        PyErr_Clear();
        backoff(failures);
    }
}

}  // namespace gateways::caps
