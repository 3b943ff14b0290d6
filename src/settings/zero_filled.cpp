#include "settings/zero_filled.hpp"

#include <cstdio>
#include <optional>
#include <vector>

namespace gateways::settings {
namespace {

// Whether this pandas warns on fillna's inference: 2.2 and 2.3, by their version text
// (asking for their option to stop inferring would warn on pandas 3, where it is
// deprecated). Asked once per pandas module; a stand-in with no version does not warn.
bool fillna_warns(State& s, py::handle pd) {
    if (std::optional<bool> known = s.fillna_warns.about(pd.ptr())) {
        return *known;
    }
    bool warns = false;
    PyObject* version = enter([&] { return PyObject_GetAttr(pd.ptr(), s.version_attr); });
    if (version == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) {
            throw PythonError{};
        }
        PyErr_Clear();
    } else {
        py::object text = owned(version);
        const char* utf8 = PyUnicode_Check(version) ? PyUnicode_AsUTF8(version) : nullptr;
        if (utf8 == nullptr) {
            PyErr_Clear();  // not a version text: a stand-in
        } else {
            int major = 0, minor = 0;
            warns = std::sscanf(utf8, "%d.%d", &major, &minor) == 2 && major == 2 && minor >= 2;
        }
    }
    s.fillna_warns.learn(pd.ptr(), warns);
    return warns;
}

// What fillna(0) gives an object column with missing values on pandas 2.1: the values
// filled, then each column's dtype inferred (infer_objects is that inference).
py::object filled_object_column(const State& s, py::handle pd, py::handle column) {
    py::object values = call_method_with_keywords(column, s.to_numpy, {}, s.kw_dtype_copy,
                                                  {reinterpret_cast<PyObject*>(&PyBaseObject_Type), Py_True});
    setitem(values, call_method(pd, s.isna, values), s.zero);
    py::object series = call_with_keywords(getattr(pd, s.Series), {values}, s.kw_index_name,
                                           {getattr(column, s.index), getattr(column, s.name)});
    return call_method(series, s.infer_objects);
}

bool is_object_dtype(py::handle column, const State& s) {
    return equal(getattr(column, s.dtype), reinterpret_cast<PyObject*>(&PyBaseObject_Type));
}

// fillna(0) of one column with missing values, as pandas 2.1 gives it.
py::object filled_column(const State& s, py::handle pd, py::handle column, bool object) {
    return object ? filled_object_column(s, pd, column) : call_method(column, s.fillna, s.zero);
}

// A column of a frame, with what the filling depends on.
struct Column {
    py::object values;
    bool object;
    bool missing;
};

}  // namespace

py::object zero_filled_series(State& s, py::handle pd, py::handle series) {
    if (!fillna_warns(s, pd) || !is_true(getattr(series, s.hasnans))) {
        return call_method(series, s.fillna, s.zero);
    }
    return filled_column(s, pd, series, is_object_dtype(series, s));
}

py::object zero_filled_frame(State& s, py::handle pd, py::handle df) {
    if (!fillna_warns(s, pd)) {
        return call_method(df, s.fillna, s.zero);
    }
    // Column by column, by position, so that repeated names stay apart. pandas 2.1 infers
    // the dtypes of the frame's object columns together (they share one block) once any
    // of them had a missing value: so here.
    py::object iloc = getattr(df, s.iloc);
    py::object all_rows = owned(enter([] { return PySlice_New(nullptr, nullptr, nullptr); }));
    Py_ssize_t count = size(getattr(df, s.columns));
    std::vector<Column> columns;
    bool object_missing = false;
    for (Py_ssize_t i = 0; i < count; ++i) {
        py::object position = owned(PyLong_FromSsize_t(i));
        py::object values = getitem(iloc, pair(all_rows, position));
        Column column{values, is_object_dtype(values, s), is_true(getattr(values, s.hasnans))};
        object_missing = object_missing || (column.object && column.missing);
        columns.push_back(std::move(column));
    }
    py::object result = call_method(df, s.copy);
    for (Py_ssize_t i = 0; i < count; ++i) {
        const Column& column = columns[static_cast<std::size_t>(i)];
        py::object filled;
        if (column.missing) {
            filled = filled_column(s, pd, column.values, column.object);
        } else if (column.object && object_missing) {
            filled = call_method(column.values, s.infer_objects);
        } else {
            continue;
        }
        call_method(result, s.isetitem, owned(PyLong_FromSsize_t(i)), filled);
    }
    return result;
}

}  // namespace gateways::settings
