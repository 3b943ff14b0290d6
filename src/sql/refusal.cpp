#include "sql/refusal.hpp"

namespace gateways::sql {
namespace {

constexpr Py_ssize_t longest_shown = 80;  // characters; a longer repr is cut to 77 and "..."

bool has_surrogate(PyObject* text) {
    int kind = PyUnicode_KIND(text);
    if (kind == PyUnicode_1BYTE_KIND) {
        return false;
    }
    const void* data = PyUnicode_DATA(text);
    for (Py_ssize_t i = 0, n = PyUnicode_GET_LENGTH(text); i < n; ++i) {
        Py_UCS4 c = PyUnicode_READ(kind, data, i);
        if (c >= 0xD800 && c <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

// The value's repr as it can be shown in a message. Only an exception that is not an
// Exception (KeyboardInterrupt, SystemExit) raised by the repr passes through instead.
py::object shown(py::handle value) {
    PyObject* repr = enter([&] { return PyObject_Repr(value.ptr()); });
    if (repr == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_Exception)) {
            throw PythonError{};
        }
        PyErr_Clear();
        return owned(PyUnicode_FromFormat("<%s object at %p>", Py_TYPE(value.ptr())->tp_name, value.ptr()));
    }
    py::object text = owned(repr);
#if PY_VERSION_HEX < 0x030C0000
    check(PyUnicode_READY(text.ptr()));
#endif
    if (has_surrogate(text.ptr())) {
        // ascii(): the repr with what is not ASCII escaped.
        py::object ascii =
            owned(enter([&] { return PyUnicode_AsEncodedString(text.ptr(), "ascii", "backslashreplace"); }));
        text = owned(PyUnicode_DecodeASCII(PyBytes_AS_STRING(ascii.ptr()), PyBytes_GET_SIZE(ascii.ptr()), nullptr));
    }
    if (PyUnicode_GET_LENGTH(text.ptr()) > longest_shown) {
        py::object head = owned(PyUnicode_Substring(text.ptr(), 0, longest_shown - 3));
        text = owned(PyUnicode_FromFormat("%U...", head.ptr()));
    }
    return text;
}

}  // namespace

void refuse(py::handle value, const char* argument, const char* rule) {
    py::object what = shown(value);
    py::object message =
        owned(PyUnicode_FromFormat("%s cannot go into SQL text: %s, not %U", argument, rule, what.ptr()));
    PyErr_SetObject(PyExc_ValueError, message.ptr());
    throw PythonError{};
}

}  // namespace gateways::sql
