// Statement text: fixed text and the texts of values, copied once into the final str.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/objects.hpp"
#include "sql/value.hpp"

namespace gateways::sql {

// A piece of a statement: ASCII text, or a value's text (a str); both borrowed.
class Text {
public:
    constexpr Text() = default;
    constexpr Text(std::string_view fixed) : fixed_(fixed) {}
    constexpr Text(const char* fixed) : fixed_(fixed) {}
    Text(const py::object& value) : value_(value.ptr()) {}
    Text(const Value& value) : fixed_(value.digits()), value_(value.text()) {}

    std::string_view fixed() const { return fixed_; }
    PyObject* value() const { return value_; }

private:
    std::string_view fixed_;
    PyObject* value_ = nullptr;
};

// The str of the fixed pieces with the values between them: fixed[0], values[field[0]],
// fixed[1], ..., fixed[slots]; `fixed_length` is the fixed pieces' total length.
py::object fill(const std::string_view* fixed, const std::uint8_t* field, std::size_t slots, const Text* values,
                std::size_t fixed_length);

// A statement's text with {name} placeholders, taken apart when the program is compiled:
// a placeholder that names no field does not compile. At run time the fixed pieces and
// the values' texts are copied once into the final str; a value's text is never read as
// a placeholder.
template <std::size_t Fields>
class Template {
public:
    consteval Template(std::string_view text, const char* const (&names)[Fields]) {
        std::size_t at = 0;
        while (true) {
            std::size_t open = text.find('{', at);
            if (open == std::string_view::npos) {
                fixed_[slots_] = text.substr(at);
                fixed_length_ += fixed_[slots_].size();
                break;
            }
            std::size_t close = text.find('}', open);
            if (close == std::string_view::npos || slots_ == max_slots) {
                throw "unclosed placeholder, or too many";
            }
            fixed_[slots_] = text.substr(at, open - at);
            fixed_length_ += fixed_[slots_].size();
            field_[slots_++] = field_index(text.substr(open + 1, close - open - 1), names);
            at = close + 1;
        }
    }

    // The statement with the values, given in the order of the field names.
    template <class... Values>
    py::object operator()(const Values&... values) const {
        static_assert(sizeof...(Values) == Fields, "one value for every field");
        const Text given[] = {Text(values)...};
        return fill(fixed_.data(), field_.data(), slots_, given, fixed_length_);
    }

private:
    static constexpr std::size_t max_slots = 8;

    static consteval std::uint8_t field_index(std::string_view name, const char* const (&names)[Fields]) {
        for (std::size_t i = 0; i < Fields; ++i) {
            if (std::string_view(names[i]) == name) {
                return static_cast<std::uint8_t>(i);
            }
        }
        throw "a placeholder names no field";
    }

    std::array<std::string_view, max_slots + 1> fixed_{};
    std::array<std::uint8_t, max_slots> field_{};
    std::size_t slots_ = 0;
    std::size_t fixed_length_ = 0;
};

template <std::size_t Fields>
Template(std::string_view, const char* const (&)[Fields]) -> Template<Fields>;

}  // namespace gateways::sql
