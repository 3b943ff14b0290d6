#include "module/class_factory.hpp"

#include "module/function_type.hpp"

namespace gateways {

void create_class(const py::module_& module, const ClassSpec& spec, py::handle state) {
    py::dict globals = module.attr("__dict__");
    // The base as bound in the module at this moment.
    py::str base_name(spec.base);
    PyObject* found = PyDict_GetItemWithError(globals.ptr(), base_name.ptr());
    if (found == nullptr) {
        if (!PyErr_Occurred()) {
            PyErr_Format(PyExc_NameError, "name '%s' is not defined", spec.base);
        }
        throw py::error_already_set();
    }
    py::object base = py::reinterpret_borrow<py::object>(found);
    py::object metaclass = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(Py_TYPE(base.ptr())));
    py::tuple bases = py::make_tuple(base);

    py::object namespace_ =
        py::hasattr(metaclass, "__prepare__") ? metaclass.attr("__prepare__")(spec.name, bases) : py::dict();
    namespace_[py::str("__module__")] = py::str("gateways");
    namespace_[py::str("__qualname__")] = py::str(spec.name);
    for (const MethodSpec* method : spec.methods) {
        py::object function = make_function(*method, spec.name, globals, state);
        if (method->is_static) {
            function = py::reinterpret_steal<py::object>(PyStaticMethod_New(function.ptr()));
            if (!function) {
                throw py::error_already_set();
            }
        }
        namespace_[py::str(method->name)] = function;
    }

    module.attr(spec.name) = metaclass(spec.name, bases, namespace_);
}

}  // namespace gateways
