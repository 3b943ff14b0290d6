"""Benchmarks of gateways; prints tables, asserts nothing.

1. What a call costs: the module against the same classes in plain Python
   (benchmarks/python_reference.py), over a null host, with each call's own cost (the
   call less its host calls made directly); see call_cost.py.
2. End to end on the sample data set in a throwaway PostgreSQL: counter increments per
   second with 1 and 4 threads, and the latency of each read method, next to the same
   statements sent directly.
The order reports at an installation's size are scale.py's (make bench-scale).

    python benchmarks/bench.py [--quick] [--database-url URL]
"""

import argparse
import statistics
import sys
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path[:0] = [str(ROOT / "host"), str(ROOT / "examples"), str(ROOT / "benchmarks")]

import call_cost
import pandas as pd
import sample_data
from tables import table

import gateways
import pgserver
from models.db import Database

# -- 1. the call's cost against plain Python ---------------------------------------------

# The end-to-end rows of table 2b, named by method, and the call case whose own cost they use.
OWN_COST_CASE = {
    "cap_report": "cap_report(crm, date)",
    "get_gateway_cap_model": "CapReport.get_gateway_cap_model",
    "get_alert_level": "CapReport.get_alert_level",
    "gateway_corp_list": "gateway_corp_list(crm)",
}


def bench_call_cost(quick):
    """Table 1 is call_cost's report; returns each method's own cost in µs for table 2b."""
    print()
    rows = call_cost.measure(20 if quick else 100)
    call_cost.report(rows)
    own = {name: module - direct for name, _python, module, direct in rows}
    return {
        name: own[OWN_COST_CASE.get(name, name)]
        for name in own.keys() | OWN_COST_CASE.keys()
        if OWN_COST_CASE.get(name, name) in own
    }


# -- 2. end to end ------------------------------------------------------------------------


def interleaved_rates(module_call, direct_call, threads, pairs):
    """Increments per second of each: every thread alternates a module call and a direct
    one, so both meet the same server, lock queue and machine; a kind's rate is its calls
    over its share of the threads' time."""
    spent = {"module": 0.0, "direct": 0.0}
    lock = threading.Lock()

    def work(first_module):
        mine = {"module": 0.0, "direct": 0.0}
        order = [("module", module_call), ("direct", direct_call)]
        if not first_module:
            order.reverse()
        for _ in range(pairs):
            for name, function in order:
                start = time.perf_counter()
                function()
                mine[name] += time.perf_counter() - start
        with lock:
            for name in spent:
                spent[name] += mine[name]

    workers = [threading.Thread(target=work, args=(i % 2 == 0,)) for i in range(threads)]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    return pairs * threads / (spent["module"] / threads), pairs * threads / (spent["direct"] / threads)


def paired_ms(module_call, direct_call, runs):
    """Median latencies of the two, each module call paired with a direct one, in turns."""
    module_call(), direct_call()
    module: list[float] = []
    direct: list[float] = []
    for run in range(runs):
        for name, function in (
            (("m", module_call), ("d", direct_call)) if run % 2 == 0 else (("d", direct_call), ("m", module_call))
        ):
            start = time.perf_counter()
            function()
            (module if name == "m" else direct).append(time.perf_counter() - start)
    return statistics.median(module) * 1e3, statistics.median(direct) * 1e3


def median_ms(function, runs):
    function()
    samples = []
    for _ in range(runs):
        start = time.perf_counter()
        function()
        samples.append(time.perf_counter() - start)
    return statistics.median(samples) * 1e3


def bench_end_to_end(db, quick, own):
    cap = gateways.CapReport(db)
    statement = "update processing.cap set used_dtc = used_dtc+1  where mid_id =501 and step = 1"
    pairs = 300 if quick else 2000
    rows: list[tuple[str, ...]] = []
    for threads in (1, 4):
        m, d = interleaved_rates(
            lambda: cap.increment_transaction_counts(501, "nmi", 1),
            lambda: db.engine.execute(statement),
            threads,
            pairs // threads,
        )
        rows.append((f"{threads} thread{'s' if threads > 1 else ''}", f"{m:,.0f}", f"{d:,.0f}", f"{(d - m) / d:+.1%}"))
    table(
        f"2a. increment_transaction_counts end to end (increments per second; {pairs} module calls "
        "alternating with as many direct ones)",
        ["threads", "module", "direct", "module slower by"],
        rows,
    )

    settings, names, steps = gateways.GatewaySettings(db), gateways.GatewayNames(db), gateways.GatewaySteps(db)
    first = settings.get_first_dom()
    cap_report_sql = cap_report_text(1, first)
    model_sql = (
        "select b.gateway_id, b.crm_id, a.* from processing.cap a inner join ui_54407332_clients.steps b "
        "on b.mid_id = a.mid_id and b.crm_id = '1' and b.step = a.step"
    )
    runs = 30 if quick else 500
    cases = [
        (
            "cap_report",
            "(1, first_dom)",
            lambda: settings.cap_report(1, first),
            lambda: pd.read_sql(cap_report_sql, db.engine).fillna(0),
        ),
        (
            "get_gateway_cap_model",
            "(1)",
            lambda: cap.get_gateway_cap_model(1),
            lambda: pd.read_sql(model_sql, db.engine),
        ),
        (
            "next_app_step_id",
            "()",
            steps.next_app_step_id,
            lambda: db.engine.execute("Select max(app_step_id)::int from ui_54407332_clients.steps").scalar() + 1,
        ),
        ("mtd_cap_report", "(1)", lambda: settings.mtd_cap_report(1), None),
        ("today_cap_report", "(1)", lambda: settings.today_cap_report(1), None),
        ("cap_limits", "(1)", lambda: settings.cap_limits(1), None),
        ("mtd_cascade_report", "(1)", lambda: settings.mtd_cascade_report(1), None),
        ("get_exploded", "()", settings.get_exploded, None),
        ("update_lists", "(1)", lambda: names.update_lists(1), None),
        ("gateway_corp_list", "(1)", lambda: names.gateway_corp_list(1), None),
        ("get_no_cvv_required", "(1)", lambda: steps.get_no_cvv_required(1), None),
        ("get_mid_numbers_by_mid_id", "(501, 1)", lambda: steps.get_mid_numbers_by_mid_id(501, 1), None),
        ("get_mid_numbers_by_gateway_id", "(1, 1)", lambda: steps.get_mid_numbers_by_gateway_id(1, 1), None),
        ("get_alert_level", "()", cap.get_alert_level, None),
    ]
    rows = []
    for name, arguments, module_call, direct_call in cases:
        if direct_call is None:
            module, direct = median_ms(module_call, runs), None
        else:
            module, direct = paired_ms(module_call, direct_call, runs)
        share = own[name] / 1e3 / module
        rows.append(
            (
                name + arguments,
                f"{module:.2f}",
                f"{direct:.2f}" if direct else "",
                f"{(module - direct) / direct:+.1%}" if direct else "",
                f"{own[name]:.1f}",
                f"{share:.2%}",
            )
        )
    table(
        f"2b. Read latency end to end on the sample data set (median of {runs}, milliseconds; own cost from table 1)",
        ["method", "module", "direct", "measured", "own cost µs", "share"],
        rows,
    )


def cap_report_text(crm_id, s_date):
    return f"""         
select a.crm_id, a.gateway_id, a.daily_cap,a.monthly_cap, processed from ui_54407332_clients.gateway_settings a 
   left join( 
       select crm_id, gateway_id, sum(order_total)::numeric processed from crm_global.orders 
       where crm_id = '{crm_id}' and time_stamp >=  '{s_date}' and decline_reason is null
       group by crm_id, gateway_id
       )  b  on  a.crm_id  = b.crm_id and a.gateway_id =  b.gateway_id
    where a.crm_id  = '{crm_id}'
           """


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="fewer rounds and runs")
    parser.add_argument("--database-url", help="a scratch database to use; the benchmark replaces its tables")
    args = parser.parse_args(argv)
    print(f"gateways on Python {sys.version.split()[0]}, pandas {pd.__version__}")
    own = bench_call_cost(args.quick)

    def against(url):
        if args.database_url:
            pgserver.load_schema(url)
        db = Database(url)
        try:
            sample_data.load(db.engine)
            bench_end_to_end(db, args.quick, own)
        finally:
            db.dispose()

    if args.database_url:
        against(args.database_url)
    else:
        with pgserver.ThrowawayPostgres() as server:
            against(server.url)


if __name__ == "__main__":
    main()
