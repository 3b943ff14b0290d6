#include "sql/text_form.hpp"

namespace gateways::sql {

py::object text_form(py::handle value) {
    // The interpreter's format() hands back an exact str itself and gives an exact int
    // its decimal text at once; everything else goes through its __format__.
    py::object text = owned(enter([&] { return PyObject_Format(value.ptr(), nullptr); }));
#if PY_VERSION_HEX < 0x030C0000
    check(PyUnicode_READY(text.ptr()));
#endif
    return text;
}

}  // namespace gateways::sql
