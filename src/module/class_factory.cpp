#include "module/class_factory.hpp"

#include "module/function_type.hpp"

namespace gateways {

void create_class(py::module_ module, const ClassSpec& spec) {
    py::dict globals = module.attr("__dict__");
    py::object base = Frame(globals.ptr(), nullptr).global(spec.base);
    py::object metaclass = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(Py_TYPE(base.ptr())));
    py::tuple bases = py::make_tuple(base);

    py::object namespace_ = py::hasattr(metaclass, "__prepare__")
        ? metaclass.attr("__prepare__")(spec.name, bases)
        : py::dict();
    namespace_[py::str("__module__")] = py::str("gateways");
    namespace_[py::str("__qualname__")] = py::str(spec.name);
    for (const MethodSpec* method : spec.methods) {
        py::object function = make_function(*method, spec.name, globals);
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
