#pragma once

#include "runtime/method.hpp"

namespace gateways::settings {

// df.loc[df.<column>.isna(), '<column>'] = value
inline void fill_missing(const State& s, py::handle df, PyObject* column, PyObject* value) {
    py::object missing = call_method(getattr(df, column), s.isna);
    py::object where = owned(enter([&] { return PyTuple_Pack(2, missing.ptr(), column); }));
    setitem(getattr(df, s.loc), where, value);
}

}  // namespace gateways::settings
