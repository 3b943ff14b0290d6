#include "sql/text_form.hpp"

namespace gateways::sql {

std::string text_form(py::handle value) {
    py::str empty("");
    py::object text = py::reinterpret_steal<py::object>(PyObject_Format(value.ptr(), empty.ptr()));
    if (!text) {
        throw py::error_already_set();
    }
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
    if (data == nullptr) {
        throw py::error_already_set();
    }
    return std::string(data, static_cast<std::size_t>(size));
}

}  // namespace gateways::sql
