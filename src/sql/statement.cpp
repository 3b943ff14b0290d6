#include "sql/statement.hpp"

#include <algorithm>
#include <cstring>

namespace gateways::sql {
namespace {

// Copies a piece at `at`; the statement is one byte a character.
Py_UCS1* copy_narrow(Py_UCS1* at, const Text& piece) {
    if (PyObject* value = piece.value()) {
        std::size_t n = static_cast<std::size_t>(PyUnicode_GET_LENGTH(value));
        std::memcpy(at, PyUnicode_1BYTE_DATA(value), n);
        return at + n;
    }
    std::memcpy(at, piece.fixed().data(), piece.fixed().size());
    return at + piece.fixed().size();
}

// Copies a piece at `at` into a statement of wider characters.
Py_ssize_t copy_wide(PyObject* out, Py_ssize_t at, const Text& piece) {
    if (PyObject* value = piece.value()) {
        Py_ssize_t n = PyUnicode_GET_LENGTH(value);
        if (PyUnicode_CopyCharacters(out, at, value, 0, n) < 0) {
            throw PythonError{};
        }
        return at + n;
    }
    int kind = PyUnicode_KIND(out);
    void* data = PyUnicode_DATA(out);
    for (char c : piece.fixed()) {
        PyUnicode_WRITE(kind, data, at++, static_cast<Py_UCS4>(static_cast<unsigned char>(c)));
    }
    return at;
}

}  // namespace

py::object fill(const std::string_view* fixed, const std::uint8_t* field, std::size_t slots, const Text* values,
                std::size_t fixed_length) {
    Py_ssize_t length = static_cast<Py_ssize_t>(fixed_length);
    Py_UCS4 widest = 0x7f;
    for (std::size_t slot = 0; slot < slots; ++slot) {
        const Text& value = values[field[slot]];
        if (PyObject* text = value.value()) {
            length += PyUnicode_GET_LENGTH(text);
            widest = std::max(widest, PyUnicode_MAX_CHAR_VALUE(text));
        } else {
            length += static_cast<Py_ssize_t>(value.fixed().size());
        }
    }
    py::object statement = owned(PyUnicode_New(length, widest));
    PyObject* out = statement.ptr();
    if (PyUnicode_KIND(out) == PyUnicode_1BYTE_KIND) {
        Py_UCS1* at = PyUnicode_1BYTE_DATA(out);
        for (std::size_t slot = 0; slot < slots; ++slot) {
            at = copy_narrow(at, fixed[slot]);
            at = copy_narrow(at, values[field[slot]]);
        }
        copy_narrow(at, fixed[slots]);
        return statement;
    }
    Py_ssize_t at = 0;
    for (std::size_t slot = 0; slot < slots; ++slot) {
        at = copy_wide(out, at, fixed[slot]);
        at = copy_wide(out, at, values[field[slot]]);
    }
    copy_wide(out, at, fixed[slots]);
    return statement;
}

}  // namespace gateways::sql
