#pragma once

#include <pybind11/pybind11.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace gateways::sql {

namespace py = pybind11;

using Field = std::pair<std::string_view, std::string_view>;

// The statement `text` with each {name} replaced by the value of that field. One pass:
// inserted values are never read as placeholders. Every placeholder must have a field.
py::str fill(std::string_view text, std::initializer_list<Field> fields);

}  // namespace gateways::sql
