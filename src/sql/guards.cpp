#include "sql/guards.hpp"

#include <string_view>

#include "sql/text_form.hpp"

namespace gateways::sql {
namespace {

[[noreturn]] void refuse(py::handle value, const char* argument, const char* rule) {
    std::string shown = py::repr(value).cast<std::string>();
    if (shown.size() > 80) {
        shown = shown.substr(0, 77) + "...";
    }
    throw py::value_error(std::string(argument) + " cannot go into SQL text: " + rule + ", not " + shown);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Matches -?digits(.digits)? at `at`, moving `at` past it.
bool scan_number(std::string_view text, std::size_t& at) {
    std::size_t i = at;
    if (i < text.size() && text[i] == '-') {
        ++i;
    }
    std::size_t digits = i;
    while (i < text.size() && is_digit(text[i])) {
        ++i;
    }
    if (i == digits) {
        return false;
    }
    if (i < text.size() && text[i] == '.') {
        std::size_t fraction = ++i;
        while (i < text.size() && is_digit(text[i])) {
            ++i;
        }
        if (i == fraction) {
            return false;
        }
    }
    at = i;
    return true;
}

bool is_plain_number(std::string_view text) {
    std::size_t at = 0;
    return scan_number(text, at) && at == text.size();
}

void skip_blanks(std::string_view text, std::size_t& at) {
    while (at < text.size() && text[at] == ' ') {
        ++at;
    }
}

// [ n, 'n', ... ] with n a plain number; blanks around elements allowed.
bool is_number_list(std::string_view text) {
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
        if (!scan_number(text, at)) {
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

bool is_identifier(std::string_view text) {
    if (text.empty() || is_digit(text[0])) {
        return false;
    }
    for (char c : text) {
        if (!(is_digit(c) || c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
            return false;
        }
    }
    return true;
}

bool has_no_quote_backslash_or_nul(std::string_view text) {
    return text.find_first_of(std::string_view("'\\\0", 3)) == std::string_view::npos;
}

// The value's text form, if `accept` takes it; otherwise ValueError naming the argument.
std::string checked(py::handle value, const char* argument, bool (*accept)(std::string_view), const char* rule) {
    std::string text = text_form(value);
    if (!accept(text)) {
        refuse(value, argument, rule);
    }
    return text;
}

}  // namespace

std::string quoted(py::handle value, const char* argument) {
    return checked(value, argument, has_no_quote_backslash_or_nul,
                   "a quoted value must not hold a single quote, a backslash or a NUL");
}

std::string number(py::handle value, const char* argument) {
    return checked(value, argument, is_plain_number, "an unquoted value must be a plain number");
}

std::string number_list(py::handle list, const char* argument) {
    return checked(list, argument, is_number_list, "a list must hold plain numbers or quoted plain numbers");
}

std::string integer(py::handle value) {
    py::object converted = py::reinterpret_steal<py::object>(PyNumber_Long(value.ptr()));
    if (!converted) {
        throw py::error_already_set();
    }
    return py::str(converted).cast<std::string>();
}

std::string identifier(py::handle value, const char* argument) {
    return checked(value, argument, is_identifier, "a table or schema name must be a plain SQL name");
}

std::string own_table(py::handle self) {
    std::string schema = identifier(self.attr("schema"), "schema");
    std::string table = identifier(self.attr("table"), "table");
    return schema + "." + table;
}

}  // namespace gateways::sql
