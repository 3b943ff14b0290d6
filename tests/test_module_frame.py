"""The module frame: namespace, classes, method objects, binding, errors, constructors."""

import inspect
import pickle
import sys
import traceback
from pathlib import Path

import pytest
from methods import CLASSES as METHOD_CLASSES
from methods import METHODS

import gateways
from models import db as models_db

CLASSES = METHOD_CLASSES
CLIENT_CLASSES = CLASSES[:3]
REGISTRY = {name: [method.name for method in METHODS if method.cls == name] for name in CLASSES}
CAP_CLASSES = CLASSES[3:]


def methods(cls):
    """The class's functions in namespace order, static ones unwrapped."""
    return {
        name: (value.__func__ if isinstance(value, staticmethod) else value)
        for name, value in vars(cls).items()
        if not name.startswith("__") or name == "__init__"
    }


def reference_function(function):
    """A Python function with the same parameters and defaults, to compare behaviour with."""
    parameters = ", ".join(inspect.signature(function).parameters)
    namespace = {}
    exec(f"def f({parameters}): pass", namespace)
    reference = namespace["f"]
    reference.__defaults__ = function.__defaults__
    reference.__qualname__ = function.__qualname__
    return reference


class TestNamespace:
    def test_names_bound_in_order(self):
        names = [n for n in vars(gateways) if not n.startswith("__")]
        assert names == ["pd", "dt", "ClientStructure", "Db", "mod_conf", *CLASSES]
        import datetime

        import pandas

        from models import config

        assert (gateways.pd, gateways.dt, gateways.mod_conf) == (pandas, datetime, config)

    def test_registry(self):
        # the one list of methods the other tests and the benchmark take theirs from
        classes = [name for name, value in vars(gateways).items() if getattr(value, "__module__", None) == "gateways"]
        assert classes == CLASSES
        assert {name: list(methods(getattr(gateways, name))) for name in CLASSES} == REGISTRY

    def test_the_call_cost_benchmark_times_every_method(self):
        sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "benchmarks"))
        import call_cost

        assert call_cost.untimed() == []

    def test_classes_and_bases(self):
        for name in CLIENT_CLASSES:
            assert getattr(gateways, name).__bases__ == (models_db.ClientStructure,)
        for name in CAP_CLASSES:
            assert getattr(gateways, name).__bases__ == (models_db.Db,)
        assert not issubclass(gateways.TrailingCapReport, gateways.CapReport)
        assert not hasattr(gateways.CCTypeCapReport, "increment_transaction_counts")

    @pytest.mark.parametrize("name", CLASSES)
    def test_class_namespace(self, name):
        cls = getattr(gateways, name)
        # type() keeps __qualname__ off the class dict, as for any class statement.
        assert list(vars(cls))[:2] == ["__module__", "__init__"]
        assert (cls.__module__, cls.__qualname__, cls.__name__, cls.__doc__) == ("gateways", name, name, None)
        assert gateways.__doc__ is None

    def test_reimport_gives_the_same_objects(self, monkeypatch):
        first = sys.modules["gateways"]
        classes = [getattr(first, name) for name in CLASSES]
        monkeypatch.delitem(sys.modules, "gateways")
        import gateways as again

        assert again is first
        assert [getattr(again, name) for name in CLASSES] == classes


class TestMethodObjects:
    def all_methods(self):
        for name in CLASSES:
            yield from methods(getattr(gateways, name)).values()

    def test_function_attributes(self):
        for function in self.all_methods():
            cls_name = function.__qualname__.split(".")[0]
            assert function.__qualname__ == f"{cls_name}.{function.__name__}"
            assert function.__module__ == "gateways"
            assert function.__doc__ is None and function.__kwdefaults__ is None
            assert function.__globals__ is vars(gateways)
            assert repr(function).startswith(f"<function {function.__qualname__} at 0x")

    def test_static_methods(self):
        cls = gateways.GatewaySettings
        static = [name for name, value in vars(cls).items() if isinstance(value, staticmethod)]
        assert static == ["get_first_dom", "get_get_tomorrow"]
        assert str(inspect.signature(cls.get_first_dom)) == "()"
        assert cls.get_first_dom() == object.__new__(cls).get_first_dom()

    def test_defaults(self):
        assert gateways.GatewaySettings.cap_report.__defaults__ == (False,)
        assert gateways.GatewayNames.gateway_corp_list.__defaults__ == (False,)
        assert gateways.GatewaySteps.get_no_cvv_required.__defaults__ == (False,)
        assert gateways.CapReport.increment_transaction_counts.__defaults__ == (False,)
        assert gateways.CapReport.increment_transaction_counts.__defaults__[0] is False
        assert (
            str(inspect.signature(gateways.CapReport.increment_transaction_counts))
            == "(self, mid_id, processor, step, is_lp=False)"
        )

    def test_constructor_defaults_and_signature(self):
        for name in CLIENT_CLASSES:
            init = getattr(gateways, name).__init__
            assert init.__defaults__ == ("54407332",) and type(init.__defaults__[0]) is str
            assert str(inspect.signature(init)) == "(self, db, account_id='54407332')"
            assert str(inspect.signature(getattr(gateways, name))) == "(db, account_id='54407332')"
        for name in CAP_CLASSES:
            assert getattr(gateways, name).__init__.__defaults__ is None
            assert str(inspect.signature(getattr(gateways, name))) == "(db)"

    def test_defaults_are_the_same_objects_every_time(self):
        init = gateways.GatewaySettings.__init__
        assert inspect.signature(init).parameters["account_id"].default is init.__defaults__[0]

    def test_binding_as_a_method(self):
        obj = object.__new__(gateways.CapReport)
        bound = obj.__init__
        assert bound.__self__ is obj and bound.__func__ is gateways.CapReport.__init__
        assert str(inspect.signature(bound)) == "(db)"
        init = vars(gateways.CapReport)["__init__"]
        assert init.__get__(None, gateways.CapReport) is init

    def test_pickled_by_reference(self):
        function = gateways.GatewaySteps.__init__
        assert pickle.loads(pickle.dumps(function)) is function

    def test_the_type_cannot_be_instantiated(self):
        with pytest.raises(TypeError):
            type(gateways.CapReport.__init__)()


# Call shapes to compare with a Python function of the same signature.
CALL_SHAPES = [
    ((), {}),
    ((1,), {}),
    ((1, 2), {}),
    ((1, 2, 3), {}),
    ((1, 2, 3, 4), {}),
    ((1, 2, 3, 4, 5, 6), {}),
    ((), {"self": 1}),
    ((1,), {"db": 2}),
    ((1,), {"self": 2}),
    ((1, 2), {"db": 3}),
    ((1,), {"nope": 2}),
    ((1, 2), {"account_id": 3, "x": 4}),
    ((), {"db": 1, "account_id": 2}),
    ((1,), {"db": 2, "account_id": 3}),
    ((1, 2, 3), {"account_id": 4}),
    ((1, 2, 3), {"is_lp": 4}),
    ((1,), {"crm_id": 2, "s_date": 3}),
    ((1, 2), {"crm_id": 3}),
    ((), {"mid_id": 1, "step": 2}),
    ((1, 2, 3, 4, 5), {}),
    ((1,), {"columns": 2}),
]


@pytest.mark.parametrize("qualname", [f"{c}.{m}" for c, ms in REGISTRY.items() for m in ms])
@pytest.mark.parametrize("args, kwargs", CALL_SHAPES)
def test_binding_errors_match_python_functions(qualname, args, kwargs):
    cls, name = qualname.split(".")
    function = methods(getattr(gateways, cls))[name]
    reference = reference_function(function)
    try:
        reference(*args, **kwargs)
    except TypeError as expected:
        with pytest.raises(TypeError) as raised:
            function(*args, **kwargs)
        assert str(raised.value) == str(expected)


def test_keywords_must_be_strings():
    reference = reference_function(gateways.CapReport.__init__)
    with pytest.raises(TypeError) as expected:
        reference(1, **{1: 2})
    with pytest.raises(TypeError, match=str(expected.value)):
        gateways.CapReport.__init__(1, **{1: 2})


# -- Constructors ----------------------------------------------------------------------


class RecordingBase:
    calls = []  # noqa: RUF012 (shared on purpose: every instance records into it)

    def __init__(*args):  # self included: the constructors call it as a plain function
        RecordingBase.calls.append(("base", args))


def recording(cls):
    class Recorded(cls):
        def set_constraint(self, name, columns):
            RecordingBase.calls.append(("set_constraint", (name, columns)))

    return Recorded


@pytest.fixture
def record(monkeypatch):
    RecordingBase.calls = []
    monkeypatch.setattr(gateways, "ClientStructure", RecordingBase)
    monkeypatch.setattr(gateways, "Db", RecordingBase)
    return RecordingBase.calls


CONSTRUCTION = [
    ("GatewaySettings", ("gateway_settings", "54407332"), "gateway_settings_pk", ["gateway_id", "crm_id"]),
    ("GatewayNames", ("gateways", "54407332"), "gatewaynames_pk", ["id", "crm_id"]),
    ("GatewaySteps", ("steps", "54407332"), "steps_pk", ["app_step_id, crm_id"]),
    ("CapReport", ("processing", "cap"), "cap_pk", ["mid_id", "step", "processor"]),
    ("CCTypeCapReport", ("processing", "cap_cc_type"), "cap_cc_type_pk", ["mid_id", "step", "processor", "cc_type"]),
    ("TrailingCapReport", ("processing", "trailing_cap"), "trailing_cap_pk", ["mid_id", "step", "processor"]),
]


class TestConstructors:
    @pytest.mark.parametrize("name, names, constraint, columns", CONSTRUCTION)
    def test_base_then_constraint(self, record, name, names, constraint, columns):
        db = object()
        obj = recording(getattr(gateways, name))(db)
        assert record == [("base", (obj, db, *names)), ("set_constraint", (constraint, columns))]
        assert type(record[0][1][-1]) is str and type(record[1][1][1]) is list

    def test_account_id_passed_unchanged(self, record):
        db = object()
        recording(gateways.GatewaySettings)(db, 1234)
        recording(gateways.GatewayNames)(account_id=None, db=db)
        assert [args[-1] for kind, args in record if kind == "base"] == [1234, None]

    def test_a_new_column_list_each_time(self, record):
        cls = recording(gateways.GatewaySteps)
        cls(1), cls(2)
        first, second = (args[1] for kind, args in record if kind == "set_constraint")
        assert first == second and first is not second

    def test_wrong_arguments_call_nothing(self, record):
        with pytest.raises(TypeError, match=r"takes 2 positional arguments but 3 were given"):
            gateways.CapReport(object(), "processing")
        with pytest.raises(TypeError, match="unexpected keyword argument 'account_id'"):
            gateways.CapReport(object(), account_id=1)
        assert record == []

    def test_rebound_base_name_is_used_but_class_base_stays(self, monkeypatch):
        seen = []

        class Other:
            def __init__(*args):
                seen.append(args)

        monkeypatch.setattr(gateways, "ClientStructure", Other)
        obj = gateways.GatewaySettings("db")
        assert seen == [(obj, "db", "gateway_settings", "54407332")]
        assert gateways.GatewaySettings.__bases__ == (models_db.ClientStructure,)
        assert obj.constraint_name == "gateway_settings_pk"

    def test_raising_base_leaves_set_constraint_uncalled(self, record, monkeypatch):
        error = LookupError("no such account")

        class Failing:
            def __init__(self, *args):
                raise error

        monkeypatch.setattr(gateways, "ClientStructure", Failing)
        with pytest.raises(LookupError) as raised:
            recording(gateways.GatewaySteps)("db")
        assert raised.value is error
        assert record == []
        names = [entry.name for entry in traceback.extract_tb(raised.value.__traceback__)]
        assert "gateways.GatewaySteps.__init__" in names
        assert names.index("gateways.GatewaySteps.__init__") < names.index("__init__")

    def test_raising_set_constraint_after_base(self, record):
        class Refusing(gateways.TrailingCapReport):
            def set_constraint(self, name, columns):
                raise ValueError(name)

        with pytest.raises(ValueError, match="trailing_cap_pk") as raised:
            Refusing("db")
        assert record == [("base", (record[0][1][0], "db", "processing", "trailing_cap"))]
        names = [entry.name for entry in traceback.extract_tb(raised.value.__traceback__)]
        assert "gateways.TrailingCapReport.__init__" in names

    def test_deleted_base_name_is_a_name_error(self, monkeypatch):
        monkeypatch.delattr(gateways, "Db")
        with pytest.raises(NameError, match="name 'Db' is not defined"):
            gateways.CapReport("db")


def test_every_class_against_the_real_host(db):
    for name, names, constraint, columns in CONSTRUCTION:
        obj = getattr(gateways, name)(db)
        schema, table = (f"ui_{names[1]}_clients", names[0]) if name in CLIENT_CLASSES else names
        assert (obj.engine, obj.schema, obj.table) == (db.engine, schema, table)
        assert (obj.constraint_name, obj.constraint_columns) == (constraint, columns)
        assert len(obj.get(columns[:1] if name != "GatewaySteps" else ["app_step_id"])) == 0
    assert gateways.GatewaySettings(db, 1234).schema == "ui_1234_clients"
