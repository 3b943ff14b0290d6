// The checks read the text where it lies, in whichever of the interpreter's three widths
// it is stored; the unquoted forms must be ASCII, so they are read as bytes.
#include "sql/guards.hpp"

#include <array>
#include <charconv>
#include <string_view>

#include "sql/refusal.hpp"
#include "sql/text_form.hpp"

namespace gateways::sql {
namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t skip_digits(std::string_view text, std::size_t at) {
    while (at < text.size() && is_digit(text[at])) {
        ++at;
    }
    return at;
}

// Matches -?digits(.digits)? at `at`, moving `at` past it; with `whole`, the decimal part
// may hold zeros only.
bool scan_number(std::string_view text, std::size_t& at, bool whole) {
    std::size_t i = at + (at < text.size() && text[at] == '-');
    std::size_t digits = i;
    i = skip_digits(text, i);
    if (i == digits) {
        return false;
    }
    if (i < text.size() && text[i] == '.') {
        std::size_t fraction = ++i;
        i = skip_digits(text, i);
        if (i == fraction) {
            return false;
        }
        if (whole && text.substr(fraction, i - fraction).find_first_not_of('0') != std::string_view::npos) {
            return false;
        }
    }
    at = i;
    return true;
}

bool is_whole_number(std::string_view text) {
    std::size_t at = 0;
    return scan_number(text, at, true) && at == text.size();
}

bool is_plain_number(std::string_view text) {
    std::size_t at = 0;
    return scan_number(text, at, false) && at == text.size();
}

void skip_blanks(std::string_view text, std::size_t& at) {
    while (at < text.size() && text[at] == ' ') {
        ++at;
    }
}

// [ n, 'n', ... ] with n a whole number; blanks around elements allowed.
bool is_whole_number_list(std::string_view text) {
    std::size_t at = 0;
    if (text.empty() || text[at++] != '[') {
        return false;
    }
    skip_blanks(text, at);
    if (at < text.size() && text[at] == ']') {
        return at + 1 == text.size();
    }
    while (true) {
        bool quoted_element = at < text.size() && text[at] == '\'';
        at += quoted_element;
        if (!scan_number(text, at, true)) {
            return false;
        }
        if (quoted_element && (at >= text.size() || text[at++] != '\'')) {
            return false;
        }
        skip_blanks(text, at);
        if (at >= text.size()) {
            return false;
        }
        char next = text[at++];
        if (next == ']') {
            return at == text.size();
        }
        if (next != ',') {
            return false;
        }
        skip_blanks(text, at);
    }
}

// The characters of a plain SQL name: ASCII letters, digits and the underscore.
constexpr std::array<bool, 256> name_characters = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[c] = c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    }
    return table;
}();

bool is_identifier(std::string_view text) {
    if (text.empty() || is_digit(text[0])) {
        return false;
    }
    bool plain = true;
    for (char c : text) {
        plain &= name_characters[static_cast<unsigned char>(c)];
    }
    return plain;
}

// What a quoted value may not hold.
enum class Quotable { yes, sql_syntax, surrogate };

template <class Char>
Quotable scan_quotable(const Char* data, Py_ssize_t length) {
    Quotable found = Quotable::yes;
    for (Py_ssize_t i = 0; i < length; ++i) {
        Char c = data[i];
        if (c == '\'' || c == '\\' || c == 0) {
            return Quotable::sql_syntax;
        }
        if constexpr (sizeof(Char) > 1) {
            if (c >= 0xD800 && c <= 0xDFFF) {
                found = Quotable::surrogate;
            }
        }
    }
    return found;
}

Quotable quotable(PyObject* text) {
    Py_ssize_t length = PyUnicode_GET_LENGTH(text);
    switch (PyUnicode_KIND(text)) {
        case PyUnicode_1BYTE_KIND:
            return scan_quotable(PyUnicode_1BYTE_DATA(text), length);
        case PyUnicode_2BYTE_KIND:
            return scan_quotable(PyUnicode_2BYTE_DATA(text), length);
        default:
            return scan_quotable(PyUnicode_4BYTE_DATA(text), length);
    }
}

// The text as bytes when it is ASCII; the unquoted forms are nothing else.
bool ascii(PyObject* text, std::string_view& bytes) {
    if (!PyUnicode_IS_ASCII(text)) {
        return false;
    }
    bytes = std::string_view(reinterpret_cast<const char*>(PyUnicode_1BYTE_DATA(text)),
                             static_cast<std::size_t>(PyUnicode_GET_LENGTH(text)));
    return true;
}

// The value's text, an exact str read where it lies.
py::object text_of(py::handle value) {
    return PyUnicode_CheckExact(value.ptr()) ? exact_text(value) : text_form(value);
}

Value checked_ascii(py::handle value, const char* argument, bool (*accept)(std::string_view), const char* rule) {
    py::object text = text_of(value);
    std::string_view bytes;
    if (!ascii(text.ptr(), bytes) || !accept(bytes)) {
        refuse(value, argument, rule);
    }
    return Value(std::move(text));
}

// The text Python's repr gives a list (an exact one) of exact ints and of exact strs that
// are whole numbers, such as [3, '7'], made without the repr; false when the list holds
// anything else or its text would be long, for the repr to make.
bool whole_number_list_text(py::handle list, py::object& text) {
    if (!PyList_CheckExact(list.ptr())) {
        return false;
    }
    char buffer[512];
    std::size_t at = 0;
    buffer[at++] = '[';
    for (Py_ssize_t i = 0, n = PyList_GET_SIZE(list.ptr()); i < n; ++i) {
        if (at + 32 > sizeof buffer) {
            return false;
        }
        if (i > 0) {
            buffer[at++] = ',';
            buffer[at++] = ' ';
        }
        PyObject* element = PyList_GET_ITEM(list.ptr(), i);
        long long number;
        std::string_view digits;
        if (exact_small_int(element, number)) {
            at = static_cast<std::size_t>(std::to_chars(buffer + at, buffer + sizeof buffer, number).ptr - buffer);
        } else if (PyUnicode_CheckExact(element) && ascii(element, digits) && digits.size() <= 24 &&
                   is_whole_number(digits)) {
            buffer[at++] = '\'';
            digits.copy(buffer + at, digits.size());
            at += digits.size();
            buffer[at++] = '\'';
        } else {
            return false;
        }
    }
    buffer[at++] = ']';
    text = owned(PyUnicode_DecodeASCII(buffer, static_cast<Py_ssize_t>(at), nullptr));
    return true;
}

}  // namespace

// An int's decimal text is a plain number with no quote in it: digits, no check.
Value quoted(py::handle value, const char* argument) {
    long long number;
    if (exact_small_int(value, number)) {
        return Value(number);
    }
    py::object text = text_of(value);
    switch (quotable(text.ptr())) {
        case Quotable::yes:
            break;
        case Quotable::sql_syntax:
            refuse(value, argument, "a quoted value must not hold a single quote, a backslash or a NUL");
        case Quotable::surrogate:
            refuse(value, argument, "a quoted value must not hold a lone surrogate");
    }
    return Value(std::move(text));
}

Value number(py::handle value, const char* argument) {
    long long digits;
    if (exact_small_int(value, digits)) {
        return Value(digits);
    }
    if (PyLong_CheckExact(value.ptr())) {
        return Value(owned(enter([&] { return PyObject_Str(value.ptr()); })));
    }
    return checked_ascii(value, argument, is_plain_number, "an unquoted value must be a plain number");
}

Value number_list(py::handle list, const char* argument) {
    py::object text;
    if (whole_number_list_text(list, text)) {
        return Value(std::move(text));
    }
    return checked_ascii(list, argument, is_whole_number_list,
                         "a list must hold whole numbers or quoted whole numbers");
}

Value integer(py::handle value) {
    long long digits;
    if (exact_small_int(value, digits)) {
        return Value(digits);
    }
    py::object converted = owned(enter([&] { return PyNumber_Long(value.ptr()); }));
    if (exact_small_int(converted, digits)) {
        return Value(digits);
    }
    return Value(owned(enter([&] { return PyObject_Str(converted.ptr()); })));
}

Value identifier(py::handle value, const char* argument, AcceptedNames& accepted) {
    PyObject* name = value.ptr();
    if (PyUnicode_CheckExact(name) && accepted.contains(name)) {
        return Value(borrowed(name));
    }
    Value checked = checked_ascii(value, argument, is_identifier, "a table or schema name must be a plain SQL name");
    if (PyUnicode_CheckExact(name)) {
        accepted.add(name);
    }
    return checked;
}

}  // namespace gateways::sql
