#include "runtime/boundary.hpp"

#include <pybind11/pybind11.h>

#include <new>
#include <stdexcept>

#include "runtime/interpreter.hpp"
#include "runtime/references.hpp"

namespace gateways {

void translate_exception() noexcept {
    try {
        throw;
    } catch (abi::__forced_unwind&) {
        park_thread();
    } catch (const PythonError&) {
        // already set
    } catch (py::error_already_set& error) {
        error.restore();
    } catch (py::builtin_exception& error) {
        error.set_error();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& error) {
        PyErr_SetString(PyExc_SystemError, error.what());
    } catch (...) {
        PyErr_SetString(PyExc_SystemError, "an unknown C++ exception reached the module's boundary");
    }
}

}  // namespace gateways
