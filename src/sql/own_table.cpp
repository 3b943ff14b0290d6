#include "sql/own_table.hpp"

#include "sql/guards.hpp"

namespace gateways::sql {

OwnTable own_table(const Frame& frame, py::handle self) {
    State& s = frame.state;
    Value schema = identifier(getattr(self, s.schema), "schema", s.accepted_names);
    Value table = identifier(getattr(self, s.table), "table", s.accepted_names);
    return {std::move(schema), std::move(table)};
}

}  // namespace gateways::sql
