"""What a call costs: the module against the same classes written in plain Python.

Both run over a null host in one process (engine, ``get``, ``explode`` and ``read_sql``
answer at once with prebuilt objects). For every call case three loops are timed: the
module's call, the Python implementation's call, and the host calls that the method must
make, made directly with the text already composed. The loops are alternated round by
round and the best round of each is kept, so that all three see the same moments of a
noisy machine; the cost of an empty loop is taken off each. A call's own cost is the call
less its direct host calls.

    python benchmarks/call_cost.py [--rounds N]
"""

import argparse
import math
import sys
import timeit
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path[:0] = [str(ROOT / "host"), str(ROOT / "benchmarks")]

import python_reference
from null_host import FRAME, PANDAS, NullBase, subclasses

import gateways

# Statement methods return the host's answer as it comes: their work is the statement (or
# the argument list) and the call. The others shape a frame with pandas operations.
STATEMENT_METHODS = {
    "GatewaySettings()",
    "CapReport()",
    "disable",
    "get_first_dom",
    "get_get_tomorrow",
    "increment_transaction_counts",
    "next_app_step_id",
    "get_no_cvv_required",
    "CapReport.get_alert_level",
    "CCTypeCapReport.get_alert_level",
    "TrailingCapReport.get_alert_level",
    "CapReport.get_gateway_cap_model",
    "CCTypeCapReport.get_gateway_cap_model",
    "TrailingCapReport.get_gateway_cap_model",
}

CLIENT = "ui_54407332_clients"
CAP_REPORT_SQL = "select ... cap report"  # the direct calls only need some composed text
KEY = ["gateway_id", "crm_id"]
# An own cost below this (µs) is within the timing's noise and is counted as this much, so
# that a call whose own cost vanishes does not pull the geometric mean down without bound.
RESOLUTION = 0.005


def over_null_host(module):
    """Null-host subclasses of the module's six classes; their base constructors are the
    null base's, reached through the rebound module-level base names."""
    module.pd, module.ClientStructure, module.Db = PANDAS, NullBase, NullBase
    return subclasses(module)


def namespace(module):
    classes = over_null_host(module)
    ns = dict(classes)
    ns.update(
        s=classes["GatewaySettings"](None),
        n=classes["GatewayNames"](None),
        st=classes["GatewaySteps"](None),
        cap=classes["CapReport"](None),
        cc=classes["CCTypeCapReport"](None),
        tr=classes["TrailingCapReport"](None),
        date=python_reference.dt.date(2024, 5, 1),
    )
    return ns


def direct_namespace():
    """What the direct host calls need: the host's objects and the composed texts."""
    import datetime as dt

    from models import config

    obj = type(
        "Host", (), {"get": NullBase.get, "explode": NullBase.explode, "set_constraint": NullBase.set_constraint}
    )()
    NullBase.__init__(obj, None, "gateway_settings", "54407332")
    return dict(
        o=obj,
        e=obj.engine,
        pd=PANDAS,
        dt=dt,
        conf=config,
        NullBase=NullBase,
        F=FRAME,
        T="update processing.cap set used_dtc = used_dtc+1  where mid_id =17 and step = 2",
        COLS5=["mid_id", "step", "processor", "gateway_id", "alert_level"],
        COLS3=["mid_id", "step", "processor"],
        KEY=KEY,
        ON=["gateway_id", "crm_id"],
        TRIPLE=["gateway_id", "crm_id", "processed"],
        RENAME={"processed": "available"},
        DAYS=["days", "days_index"],
        HOURS=["min_hour", "max_hour"],
        CORP=["id", "gateway_corp"],
        IDMAP={"id": "gateway_id"},
        MIDCOLS=["crm_id", "mid_number"],
        MIDNUM=["mid_number"],
    )


# (case, call, direct host calls). The call is timed on the module's objects and on the
# Python implementation's; the direct calls on the host's objects.
FIRST_DOM = "dt.datetime.now().replace(day=1).date()"
TOMORROW = "(dt.datetime.now() + dt.timedelta(days=1)).date()"
READ = "pd.read_sql(T, e)"
CASES = [
    (
        "GatewaySettings()",
        "GatewaySettings(None)",
        "NullBase.__init__(o, None, 'gateway_settings', '54407332'); o.set_constraint('gateway_settings_pk', KEY)",
    ),
    (
        "CapReport()",
        "CapReport(None)",
        "NullBase.__init__(o, None, 'processing', 'cap'); o.set_constraint('cap_pk', COLS3)",
    ),
    (
        "get_exploded",
        "s.get_exploded()",
        "df = o.get(orderBy='gateway_id'); df.cascade_to = df.cascade_to.fillna(0); "
        "o.explode(df, DAYS).drop(HOURS, axis=1).set_index('gateway_id')",
    ),
    ("disable", "s.disable(1, [3, 7])", "e.execute(T)"),
    ("get_first_dom", "s.get_first_dom()", FIRST_DOM),
    ("get_get_tomorrow", "s.get_get_tomorrow()", TOMORROW),
    ("cap_report(crm, date)", "s.cap_report(1, date)", f"{READ}.fillna(0)"),
    ("cap_report(crm)", "s.cap_report(1)", f"{READ}.fillna(0)"),
    ("mtd_cap_report", "s.mtd_cap_report(1)", f"{FIRST_DOM}; {READ}.fillna(0)"),
    (
        "today_cap_report",
        "s.today_cap_report(1)",
        f"(dt.datetime.now() - dt.timedelta(hours=conf.timeOffset)).date(); {READ}.fillna(0)",
    ),
    (
        "mtd_cascade_report",
        "s.mtd_cascade_report(1)",
        f"{FIRST_DOM}; {TOMORROW}; df = {READ}; df.loc[df.cascade_cap.isna(), 'cascade_cap'] = 20000.0; "
        "df.loc[df.cascade_processed.isna(), 'cascade_processed'] = 0; "
        "df['available'] = df.cascade_cap - df.cascade_processed",
    ),
    (
        "cap_limits",
        "s.cap_limits(1)",
        f"(dt.datetime.now() - dt.timedelta(hours=conf.timeOffset)).date(); today = {READ}.fillna(0); "
        f"{FIRST_DOM}; month = {READ}.fillna(0); "
        "df = today.merge(month[TRIPLE].rename(RENAME, axis=1), on=ON, how='left'); "
        "df.loc[df.monthly_cap.isna(), 'monthly_cap'] = 20000.0; df.loc[df.available.isna(), 'available'] = 0; "
        "df['available'] = df.monthly_cap - df.available",
    ),
    (
        "gateway_corp_list(crm)",
        "n.gateway_corp_list(1)",
        "o.get(columns=CORP, where=' WHERE crm_id = 1 ').rename(columns=IDMAP)",
    ),
    ("gateway_corp_list()", "n.gateway_corp_list()", "o.get(columns=CORP, where='').rename(columns=IDMAP)"),
    ("update_lists", "n.update_lists(1)", "list(e.execute(T)); list(e.execute(T))"),
    ("next_app_step_id", "st.next_app_step_id()", "e.execute(T).scalar() + 1"),
    ("get_no_cvv_required", "st.get_no_cvv_required(1)", "o.get(False, where=T)"),
    (
        "get_mid_numbers_by_mid_id",
        "st.get_mid_numbers_by_mid_id(12, 2)",
        "r = o.get(MIDCOLS, where=T); len(r); r.drop_duplicates().to_dict(orient='records')",
    ),
    (
        "get_mid_numbers_by_gateway_id",
        "st.get_mid_numbers_by_gateway_id(5, 7)",
        "df = o.get(MIDNUM, where=T).dropna(); len(df); df['mid_number'].tolist()[0]",
    ),
    ("CapReport.get_alert_level", "cap.get_alert_level()", "o.get(COLS5)"),
    ("increment_transaction_counts", "cap.increment_transaction_counts(17, 'nmi', 2)", "e.execute(T)"),
    ("CapReport.get_gateway_cap_model", "cap.get_gateway_cap_model(1)", READ),
    ("CCTypeCapReport.get_alert_level", "cc.get_alert_level()", "o.get(COLS5)"),
    ("CCTypeCapReport.get_gateway_cap_model", "cc.get_gateway_cap_model(1)", READ),
    ("TrailingCapReport.get_alert_level", "tr.get_alert_level()", "o.get(COLS3)"),
    ("TrailingCapReport.get_gateway_cap_model", "tr.get_gateway_cap_model(1)", READ),
]


class Loop:
    """One timed loop of a statement; keeps its best round."""

    def __init__(self, statement, ns, seconds=0.002):
        self.timer = timeit.Timer(statement, globals=ns)
        self.timer.timeit(100)  # warm up
        per_call = self.timer.timeit(200) / 200
        self.number = max(10, int(seconds / max(per_call, 1e-9)))
        self.best = math.inf

    def round(self):
        self.best = min(self.best, self.timer.timeit(self.number) / self.number)


def measure(rounds):
    """(case, Python µs, module µs, direct µs) per call case; the module's base names are
    rebound to the null host while it runs and given back afterwards."""
    saved = {name: getattr(gateways, name) for name in ("pd", "ClientStructure", "Db")}
    try:
        return measure_over_null_host(rounds)
    finally:
        for name, value in saved.items():
            setattr(gateways, name, value)


def measure_over_null_host(rounds):
    module_ns, python_ns, direct_ns = namespace(gateways), namespace(python_reference), direct_namespace()
    empty = Loop("pass", {})
    rows = []
    for name, call, direct in CASES:
        loops = {"python": Loop(call, python_ns), "module": Loop(call, module_ns), "direct": Loop(direct, direct_ns)}
        order = [*list(loops.values()), empty]
        for r in range(rounds):
            for loop in order[r % len(order) :] + order[: r % len(order)]:
                loop.round()
        us = {side: max(loop.best - empty.best, 0.0) * 1e6 for side, loop in loops.items()}
        rows.append((name, us["python"], us["module"], us["direct"]))
    return rows


def geometric_mean(values):
    values = [max(v, 1e-6) for v in values]
    return math.exp(sum(math.log(v) for v in values) / len(values))


def report(rows):
    header = ["call", "Python µs", "module µs", "ratio", "own: Python", "own: module", "own ratio"]
    lines, ratios, own_ratios, statement_own = [], [], [], []
    for name, python, module, direct in rows:
        own_python, own_module = max(python - direct, RESOLUTION), max(module - direct, RESOLUTION)
        ratio, own_ratio = module / python, own_module / own_python
        ratios.append(ratio)
        own_ratios.append(own_ratio)
        if name in STATEMENT_METHODS:
            statement_own.append(own_ratio)
        mark = "" if name in STATEMENT_METHODS else "  (frame)"
        lines.append(
            (
                name + mark,
                f"{python:.3f}",
                f"{module:.3f}",
                f"{ratio:.2f}",
                f"{own_python:.3f}",
                f"{own_module:.3f}",
                f"{own_ratio:.2f}",
            )
        )
    widths = [max(len(str(cell)) for cell in column) for column in zip(header, *lines)]
    print("Call cost over a null host: the module against the same classes in plain Python")
    print("(best round of each, empty loop taken off; own = the call less its host calls made directly,")
    print(f" at least {RESOLUTION} µs, the timing's resolution;")
    print(" (frame) marks the methods that shape a frame, the rest are the statement methods)")
    print("  ".join(h.ljust(w) if i == 0 else h.rjust(w) for i, (h, w) in enumerate(zip(header, widths))))
    print("-" * (sum(widths) + 2 * (len(widths) - 1)))
    for line in lines:
        print("  ".join(c.ljust(w) if i == 0 else c.rjust(w) for i, (c, w) in enumerate(zip(line, widths))))
    print(f"\ncalls: {len(rows)}; module/Python geometric mean {geometric_mean(ratios):.2f}, maximum {max(ratios):.2f}")
    print(f"own cost, all calls: geometric mean {geometric_mean(own_ratios):.2f}, maximum {max(own_ratios):.2f}")
    print(
        f"own cost, {len(statement_own)} statement methods: geometric mean {geometric_mean(statement_own):.2f}, "
        f"maximum {max(statement_own):.2f}"
    )


def untimed():
    """The methods of the one list (tests/methods.py) that no case times."""
    sys.path.insert(0, str(ROOT / "tests"))
    from methods import METHODS

    timed = {case.split("(")[0].rstrip("()") for case, *_ in CASES}
    # One constructor per base is timed: GatewaySettings() for the client classes,
    # CapReport() for the cap classes.
    return [
        method.label
        for method in METHODS
        if (method.cls if method.name == "__init__" else method.name) not in timed
        and method.label not in timed
        and not (method.name == "__init__" and method.cls not in ("GatewaySettings", "CapReport"))
    ]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=60, help="rounds per call case (default 60)")
    args = parser.parse_args(argv)
    print(f"gateways on Python {sys.version.split()[0]}")
    report(measure(args.rounds))


if __name__ == "__main__":
    main()
