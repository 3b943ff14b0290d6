// The module definition: multi-phase initialisation, create then execute.
#include <Python.h>

namespace {

PyModuleDef_Slot slots[] = {
    {0, nullptr},
};

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT,
    "gateways",
    nullptr,
    0,
    nullptr,
    slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit_gateways() { return PyModuleDef_Init(&definition); }
