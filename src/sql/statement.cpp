#include "sql/statement.hpp"

#include <stdexcept>

namespace gateways::sql {

py::str fill(std::string_view text, std::initializer_list<Field> fields) {
    std::string statement;
    statement.reserve(text.size() + 64);
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t open = text.find('{', at);
        if (open == std::string_view::npos) {
            statement.append(text.substr(at));
            break;
        }
        std::size_t close = text.find('}', open);
        if (close == std::string_view::npos) {
            throw std::logic_error("unclosed placeholder in a statement template");
        }
        statement.append(text.substr(at, open - at));
        std::string_view name = text.substr(open + 1, close - open - 1);
        bool found = false;
        for (const Field& field : fields) {
            if (field.first == name) {
                statement.append(field.second);
                found = true;
                break;
            }
        }
        if (!found) {
            throw std::logic_error("no value for a placeholder in a statement template");
        }
        at = close + 1;
    }
    return py::str(statement);
}

}  // namespace gateways::sql
