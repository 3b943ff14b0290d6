"""The one list of the module's methods, with an ordinary call of each.

The frame, fault, leak, hostile-input and error-path tests and the call-cost benchmark
take their methods from here. test_module_frame checks the list against the module's
classes, in namespace order; the tests that vary each argument check that they reach
every parameter of every method listed. Adding a method: docs/development.md.
"""

import inspect
from typing import NamedTuple


class Method(NamedTuple):
    cls: str
    name: str  # "__init__" for the constructor
    args: tuple = ()  # an ordinary call's arguments after self (after db for __init__)
    sends: bool = True  # whether the call sends a statement of its own
    writes: bool = False  # whether that statement changes rows

    @property
    def label(self):
        return f"{self.cls}.{self.name}"

    def call(self, classes, db, *args):
        """The method called on an object of ``classes[cls]`` over ``db``; with ``args``
        in place of the ordinary ones when given."""
        args = args or self.args
        if self.name == "__init__":
            return classes[self.cls](db, *args)
        return getattr(classes[self.cls](db), self.name)(*args)


METHODS = [
    Method("GatewaySettings", "__init__", sends=False),
    Method("GatewaySettings", "get_exploded"),
    Method("GatewaySettings", "disable", (1, [2]), writes=True),
    Method("GatewaySettings", "get_first_dom", sends=False),
    Method("GatewaySettings", "get_get_tomorrow", sends=False),
    Method("GatewaySettings", "cap_report", (1,)),
    Method("GatewaySettings", "mtd_cap_report", (1,)),
    Method("GatewaySettings", "today_cap_report", (1,)),
    Method("GatewaySettings", "mtd_cascade_report", (1,)),
    Method("GatewaySettings", "cap_limits", (1,)),
    Method("GatewayNames", "__init__", sends=False),
    Method("GatewayNames", "gateway_corp_list", (1,)),
    Method("GatewayNames", "update_lists", (1,)),
    Method("GatewaySteps", "__init__", sends=False),
    Method("GatewaySteps", "next_app_step_id"),
    Method("GatewaySteps", "get_no_cvv_required", (1,)),
    Method("GatewaySteps", "get_mid_numbers_by_mid_id", (1, 1)),
    Method("GatewaySteps", "get_mid_numbers_by_gateway_id", (1, 1)),
    Method("CapReport", "__init__", sends=False),
    Method("CapReport", "get_alert_level"),
    Method("CapReport", "increment_transaction_counts", (1, "nmi", 1, True), writes=True),
    Method("CapReport", "get_gateway_cap_model", (1,)),
    Method("CCTypeCapReport", "__init__", sends=False),
    Method("CCTypeCapReport", "get_alert_level"),
    Method("CCTypeCapReport", "get_gateway_cap_model", (1,)),
    Method("TrailingCapReport", "__init__", sends=False),
    Method("TrailingCapReport", "get_alert_level"),
    Method("TrailingCapReport", "get_gateway_cap_model", (1,)),
]

CLASSES = list(dict.fromkeys(method.cls for method in METHODS))
READERS = [method for method in METHODS if method.sends and not method.writes]
WRITERS = [method for method in METHODS if method.writes]


def parameters(module):
    """Every (method, parameter name) an argument reaches, self and db excepted."""
    for method in METHODS:
        cls = getattr(module, method.cls)
        given = list(inspect.signature(getattr(cls, method.name)).parameters)
        static = isinstance(inspect.getattr_static(cls, method.name), staticmethod)
        for name in given[2 if method.name == "__init__" else 0 if static else 1 :]:
            yield method, name


def missing(labels, module, forms):
    """The (method, parameter) pairs none of ``labels`` names, in any of ``forms`` (format
    strings over cls, name and parameter)."""
    labels = set(labels)
    return [
        f"{method.label}({parameter})"
        for method, parameter in parameters(module)
        if not any(form.format(cls=method.cls, name=method.name, parameter=parameter) in labels for form in forms)
    ]
