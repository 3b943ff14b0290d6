"""Run in a child interpreter by test_error_paths: every method, every argument, hostile objects.

Each argument of each method (self included) receives objects whose ``__format__``,
``__str__``, ``__repr__``, ``__int__``, ``__index__`` or ``__bool__`` raise, return a
non-str, or return huge or unencodable text; each call runs at an ordinary depth and a few
frames below the recursion limit. The caller must get the very exception the object
raised, a TypeError or ValueError, a RecursionError near the limit, or a normal return;
never a crash, a SystemError or a RuntimeError. Prints the failures as JSON, one case per
line of progress on stderr, so that a crash names the case it died in.

    python error_path_fuzz.py [--quick]
"""

import json
import sys

from null_host import PANDAS, NullBase, subclasses

import gateways


class BrokenStr(Exception):
    def __str__(self):
        raise RuntimeError("an exception whose text cannot be made")


RAISES = {
    "ValueError": lambda: ValueError("hostile"),
    "KeyError": lambda: KeyError("hostile"),
    "RecursionError": lambda: RecursionError("hostile"),
    "MemoryError": lambda: MemoryError("hostile"),
    "KeyboardInterrupt": lambda: KeyboardInterrupt("hostile"),
    "BrokenStr": lambda: BrokenStr(),
}
RETURNS = {
    "non-str": lambda dunder: 3 if dunder in ("__format__", "__str__", "__repr__") else "3",
    "huge": lambda dunder: "7" * 1_000_000 if dunder in ("__format__", "__str__", "__repr__") else 10**5000,
    "unencodable": lambda dunder: "1\ud800'" if dunder in ("__format__", "__str__", "__repr__") else 2,
}
# Ordinary values that a guard or a conversion refuses.
PLAIN = ["1' or '1'='1", "abc", [2.5], None, 1.5, "\ud800", ["x"]]
DUNDERS = ["__format__", "__str__", "__repr__", "__int__", "__index__", "__bool__"]


def hostile(dunder, behaviour):
    """An object whose ``dunder`` misbehaves; ``.error`` is what it raises, if it raises."""
    error = RAISES[behaviour]() if behaviour in RAISES else None

    def misbehave(self, *args):
        if error is not None:
            raise error
        return RETURNS[behaviour](dunder)

    cls = type(f"Hostile_{dunder}_{behaviour}", (), {dunder: misbehave})
    obj = cls()
    obj.error = error
    return obj


class Base:
    """A host base that uses its arguments as the real one does (account ids in the schema)."""

    def __init__(self, db, first, second):
        NullBase.__init__(self, db, first, second)
        if first != "processing":
            self.schema = f"ui_{second}_clients"

    get, explode, set_constraint = NullBase.get, NullBase.explode, NullBase.set_constraint


class RaisingEngine:
    def __init__(self, error):
        self.error = error

    def execute(self, sql):
        raise self.error


def objects():
    """One object per class over the host base, as the constructors leave them."""
    gateways.pd, gateways.ClientStructure, gateways.Db = PANDAS, Base, Base
    classes = subclasses(gateways, Base)
    return classes, {name: cls(None) for name, cls in classes.items()}


def positions(classes, o):
    """(label, call of the value in that argument)."""
    s, n, st, cap = o["GatewaySettings"], o["GatewayNames"], o["GatewaySteps"], o["CapReport"]
    GS, GN, GST = gateways.GatewaySettings, gateways.GatewayNames, gateways.GatewaySteps
    yield from [
        ("GatewaySettings(db)", lambda v: classes["GatewaySettings"](v)),
        ("GatewaySettings(account_id)", lambda v: classes["GatewaySettings"](None, v).cap_report(1)),
        ("GatewayNames(account_id)", lambda v: classes["GatewayNames"](None, v).update_lists(1)),
        ("GatewaySteps(account_id)", lambda v: classes["GatewaySteps"](None, v).get_no_cvv_required(1)),
        ("CapReport(db)", lambda v: classes["CapReport"](v)),
        ("disable(self)", lambda v: GS.disable(v, 1, 2)),
        ("disable(crm_id)", lambda v: s.disable(v, [1])),
        ("disable(gateway_id)", lambda v: s.disable(1, v)),
        ("disable([gateway_id])", lambda v: s.disable(1, [v])),
        ("cap_report(self)", lambda v: GS.cap_report(v, 1)),
        ("cap_report(crm_id)", lambda v: s.cap_report(v)),
        ("cap_report(s_date)", lambda v: s.cap_report(1, v)),
        ("mtd_cap_report(crm_id)", lambda v: s.mtd_cap_report(v)),
        ("today_cap_report(crm_id)", lambda v: s.today_cap_report(v)),
        ("cap_limits(self)", lambda v: GS.cap_limits(v, 1)),
        ("cap_limits(crm_id)", lambda v: s.cap_limits(v)),
        ("mtd_cascade_report(crm_id)", lambda v: s.mtd_cascade_report(v)),
        ("get_exploded(self)", lambda v: GS.get_exploded(v)),
        ("gateway_corp_list(crm_id)", lambda v: n.gateway_corp_list(v)),
        ("update_lists(self)", lambda v: GN.update_lists(v, 1)),
        ("update_lists(crm_id)", lambda v: n.update_lists(v)),
        ("next_app_step_id(self)", lambda v: GST.next_app_step_id(v)),
        ("get_no_cvv_required(crm_id)", lambda v: st.get_no_cvv_required(v)),
        ("get_no_cvv_required(columns)", lambda v: st.get_no_cvv_required(1, v)),
        ("get_mid_numbers_by_mid_id(mid_id)", lambda v: st.get_mid_numbers_by_mid_id(v, 1)),
        ("get_mid_numbers_by_mid_id(step)", lambda v: st.get_mid_numbers_by_mid_id(1, v)),
        ("get_mid_numbers_by_gateway_id(gateway_id)", lambda v: st.get_mid_numbers_by_gateway_id(v, 1)),
        ("get_mid_numbers_by_gateway_id(crm_id)", lambda v: st.get_mid_numbers_by_gateway_id(1, v)),
        ("increment_transaction_counts(self)", lambda v: gateways.CapReport.increment_transaction_counts(v, 1, "n", 1)),
        ("increment_transaction_counts(mid_id)", lambda v: cap.increment_transaction_counts(v, "nmi", 1)),
        ("increment_transaction_counts(processor)", lambda v: cap.increment_transaction_counts(1, v, 1)),
        ("increment_transaction_counts(step)", lambda v: cap.increment_transaction_counts(1, "nmi", v)),
        ("increment_transaction_counts(is_lp)", lambda v: cap.increment_transaction_counts(1, "nmi", 1, v)),
        ("get_alert_level(self)", lambda v: gateways.CapReport.get_alert_level(v)),
    ]
    for name in ("CapReport", "CCTypeCapReport", "TrailingCapReport"):
        yield f"{name}.get_gateway_cap_model(crm_id)", lambda v, obj=o[name]: obj.get_gateway_cap_model(v)
    # An engine that raises: its error, at every depth, and nothing else.
    yield "increment with a raising engine", lambda v: engine_raises(cap, v)
    yield "disable with a raising engine", lambda v: engine_raises(s, v)


def engine_raises(obj, value):
    # The engine raises what the object would (judged by identity), or a ValueError.
    error = getattr(value, "error", None) or ValueError("engine down")
    saved, obj.engine = obj.engine, RaisingEngine(error)
    try:
        if isinstance(obj, gateways.CapReport):
            obj.increment_transaction_counts(1, "nmi", 1)
        else:
            obj.disable(1, [1])
    finally:
        obj.engine = saved


def judge(value, call, near_limit, wrong_self):
    """None when the outcome is sound, else what went wrong. An object that is not the
    method's own as ``self`` lacks its attributes: the interpreter's AttributeError."""
    try:
        call(value)
    except BaseException as raised:  # every outcome is judged here
        if raised is getattr(value, "error", None):
            return None
        if near_limit and isinstance(raised, RecursionError):
            return None
        if isinstance(raised, (SystemError, RuntimeError)) and not isinstance(raised, RecursionError):
            return f"{type(raised).__name__}: {raised!r}"
        if isinstance(raised, (TypeError, ValueError)) or (wrong_self and isinstance(raised, AttributeError)):
            return None
        if isinstance(raised, RecursionError):
            return f"RecursionError away from the limit: {raised!r}"
        return f"unexpected {type(raised).__name__}"
    return None


def deepest():
    """How many frames more this point can go before RecursionError."""

    def probe(n):
        try:
            return probe(n + 1)
        except RecursionError:
            return n

    return probe(0)


def at_depth(levels, function):
    if levels <= 0:
        return function()
    return at_depth(levels - 1, function)


def main(quick):
    classes, o = objects()
    margin = deepest()
    depths = [None] + [margin - k for k in range(1, 6 if quick else 13)]
    failures = []
    cases = 0
    kinds = [
        (f"{dunder} {behaviour}", lambda d=dunder, b=behaviour: hostile(d, b))
        for dunder in DUNDERS
        for behaviour in list(RAISES) + list(RETURNS)
    ]
    kinds += [(f"plain {value!r}", lambda v=value: v) for value in PLAIN]
    for label, call in positions(classes, o):
        wrong_self = "(self)" in label
        for kind, make in kinds:
            for depth in depths:
                value = make()
                case = f"{label} {kind} depth={depth}"
                print(case, file=sys.stderr, flush=True)
                if depth is None:
                    verdict = judge(value, call, False, wrong_self)
                else:
                    outcome = []
                    try:
                        at_depth(depth, lambda: outcome.append(judge(value, call, True, wrong_self)))  # noqa: B023 (run now)
                    except RecursionError:
                        outcome.append(None)  # the way down was already too deep
                    verdict = outcome[0] if outcome else None
                cases += 1
                if verdict is not None:
                    failures.append(f"{case}: {verdict}")
    print(json.dumps({"cases": cases, "failures": failures}))


if __name__ == "__main__":
    main("--quick" in sys.argv)
