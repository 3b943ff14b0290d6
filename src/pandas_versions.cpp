#include "pandas_versions.hpp"

#include <cmath>
#include <cstdio>
#include <optional>

namespace gateways::pandas_versions {
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

// What fillna(0) gives an object column on pandas 2.1: the missing values filled, then
// the column's dtype inferred (infer_objects is that inference), whether or not anything
// was missing.
py::object filled_object_column(const State& s, py::handle pd, py::handle column, bool missing) {
    if (!missing) {
        return call_method(column, s.infer_objects);
    }
    py::object values = call_method_with_keywords(column, s.to_numpy, {}, s.kw_dtype_copy,
                                                  {reinterpret_cast<PyObject*>(&PyBaseObject_Type), Py_True});
    setitem(values, call_method(pd, s.isna, values), s.zero);
    py::object series = call_with_keywords(getattr(pd, s.Series), {values}, s.kw_index_name,
                                           {getattr(column, s.index), getattr(column, s.name)});
    return call_method(series, s.infer_objects);
}

bool is_object_dtype(const State& s, py::handle column) {
    return equal(getattr(column, s.dtype), reinterpret_cast<PyObject*>(&PyBaseObject_Type));
}

// fillna(0) of one column as pandas 2.1 gives it, or a null object where it would give
// the column unchanged.
py::object filled_column(const State& s, py::handle pd, py::handle column) {
    bool missing = is_true(getattr(column, s.hasnans));
    if (is_object_dtype(s, column)) {
        return filled_object_column(s, pd, column, missing);
    }
    return missing ? call_method(column, s.fillna, s.zero) : py::object();
}

}  // namespace

py::object zero_filled_series(State& s, py::handle pd, py::handle series) {
    if (!fillna_warns(s, pd)) {
        return call_method(series, s.fillna, s.zero);
    }
    py::object filled = filled_column(s, pd, series);
    return filled ? filled : call_method(series, s.copy);
}

py::object zero_filled_frame(State& s, py::handle pd, py::handle df) {
    if (!fillna_warns(s, pd)) {
        return call_method(df, s.fillna, s.zero);
    }
    // Column by column, by position, so that repeated names stay apart.
    py::object iloc = getattr(df, s.iloc);
    py::object all_rows = owned(enter([] { return PySlice_New(nullptr, nullptr, nullptr); }));
    py::object result = call_method(df, s.copy);
    for (Py_ssize_t i = 0, count = size(getattr(df, s.columns)); i < count; ++i) {
        py::object position = owned(enter([&] { return PyLong_FromSsize_t(i); }));
        py::object filled = filled_column(s, pd, getitem(iloc, pair(all_rows, position)));
        if (filled) {
            call_method(result, s.isetitem, position, filled);
        }
    }
    return result;
}

void missing_as_none(py::handle records, PyObject* key) {
    for (Py_ssize_t i = 0, n = PyList_GET_SIZE(records.ptr()); i < n; ++i) {
        PyObject* record = PyList_GET_ITEM(records.ptr(), i);
        PyObject* value =
            PyDict_CheckExact(record) ? enter([&] { return PyDict_GetItemWithError(record, key); }) : nullptr;
        if (value != nullptr && PyFloat_CheckExact(value) && std::isnan(PyFloat_AS_DOUBLE(value))) {
            check(enter([&] { return PyDict_SetItem(record, key, Py_None); }));
        } else if (value == nullptr && PyErr_Occurred()) {
            throw PythonError{};
        }
    }
}

py::object in_left_order(const State& s, py::handle merged, py::handle left, PyObject* added) {
    if (size(merged) != 0) {
        return py::reinterpret_borrow<py::object>(merged);
    }
    py::object columns = owned(enter([&] { return PySequence_List(getattr(left, s.columns).ptr()); }));
    check(enter([&] { return PyList_Append(columns.ptr(), added); }));
    return call_method_with_keywords(merged, s.reindex, {}, s.kw_columns, {columns});
}

}  // namespace gateways::pandas_versions
