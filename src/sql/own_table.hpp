// The object's own table, {schema}.{table}: both names read from the object as they are
// now and checked as plain SQL names.
#pragma once

#include "runtime/method.hpp"
#include "sql/value.hpp"

namespace gateways::sql {

struct OwnTable {
    Value schema;
    Value table;
};

OwnTable own_table(const Frame& frame, py::handle self);

}  // namespace gateways::sql
