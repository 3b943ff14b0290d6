#include "sql/statement.hpp"

#include <algorithm>
#include <cstring>

namespace gateways::sql {

py::object join(const Text* pieces, std::size_t count) {
    Py_ssize_t length = 0;
    Py_UCS4 widest = 0x7f;
    for (std::size_t i = 0; i < count; ++i) {
        if (PyObject* value = pieces[i].value()) {
            length += PyUnicode_GET_LENGTH(value);
            widest = std::max(widest, PyUnicode_MAX_CHAR_VALUE(value));
        } else {
            length += static_cast<Py_ssize_t>(pieces[i].fixed().size());
        }
    }
    py::object statement = owned(PyUnicode_New(length, widest));
    PyObject* out = statement.ptr();
    Py_ssize_t at = 0;
    if (PyUnicode_KIND(out) == PyUnicode_1BYTE_KIND) {
        // Every piece is one byte a character: copy bytes.
        Py_UCS1* data = PyUnicode_1BYTE_DATA(out);
        for (std::size_t i = 0; i < count; ++i) {
            if (PyObject* value = pieces[i].value()) {
                Py_ssize_t n = PyUnicode_GET_LENGTH(value);
                std::memcpy(data + at, PyUnicode_1BYTE_DATA(value), static_cast<std::size_t>(n));
                at += n;
            } else {
                std::string_view fixed = pieces[i].fixed();
                std::memcpy(data + at, fixed.data(), fixed.size());
                at += static_cast<Py_ssize_t>(fixed.size());
            }
        }
        return statement;
    }
    int kind = PyUnicode_KIND(out);
    void* data = PyUnicode_DATA(out);
    for (std::size_t i = 0; i < count; ++i) {
        if (PyObject* value = pieces[i].value()) {
            Py_ssize_t n = PyUnicode_GET_LENGTH(value);
            if (PyUnicode_CopyCharacters(out, at, value, 0, n) < 0) {
                throw PythonError{};
            }
            at += n;
        } else {
            for (char c : pieces[i].fixed()) {
                PyUnicode_WRITE(kind, data, at++, static_cast<Py_UCS4>(static_cast<unsigned char>(c)));
            }
        }
    }
    return statement;
}

}  // namespace gateways::sql
