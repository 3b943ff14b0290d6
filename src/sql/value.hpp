#pragma once

#include <charconv>
#include <string_view>

#include "runtime/objects.hpp"

namespace gateways::sql {

// A value's text as it goes into a statement: a str, or the decimal digits of an integer,
// which are written straight into the statement with no str made for them.
class Value {
public:
    explicit Value(py::object text) : text_(std::move(text)) {}

    explicit Value(long long number) {
        auto written = std::to_chars(digits_, digits_ + sizeof digits_, number);
        length_ = static_cast<std::size_t>(written.ptr - digits_);
    }

    PyObject* text() const { return text_.ptr(); }  // null for digits
    std::string_view digits() const { return {digits_, length_}; }

private:
    py::object text_;
    char digits_[24] = {};
    std::size_t length_ = 0;
};

// The digits of an exact int that fits in a long long, without making a str.
inline bool exact_small_int(py::handle value, long long& number) {
    if (!PyLong_CheckExact(value.ptr())) {
        return false;
    }
    int overflow = 0;
    number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    return overflow == 0 && !(number == -1 && PyErr_Occurred());
}

}  // namespace gateways::sql
