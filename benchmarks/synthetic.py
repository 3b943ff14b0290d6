"""A synthetic installation of any size, generated inside the database.

Deterministic for a given size: every value is a function of the row number, so two loads
of one size hold the same rows (only the time stamps move with the clock). The shape:

- `crms` CRMs of 50 gateways each; CRM 1 holds half the orders, the others share the rest.
- `orders` orders over the last 46 days up to now, in order of time; 12% declined.
- Every order has its cycle row; 5% are cascade retries, whose parent is the same CRM's
  earlier order, and that parent carries a dead-MID cascade action.
- Gateway settings, names and steps for every gateway; 30,000 rows in each cap table.

    load(engine, orders=100_000, crms=3)
"""

import re

GATEWAYS = 50
DAYS = 46
CAP_ROWS = 30_000

# Order g (1..orders) belongs to CRM 1 when g is even, else to one of CRMs 2..crms by the
# residue of g modulo the period 2 * (crms - 1): g and g - period always share a CRM, which
# makes that the parent of a retry. A retry is every 20th order of its residue class; 12 of
# every 100 consecutive orders are declined. Each table's rows are computed from g alone,
# so no table is read to fill another.
CRM = "(case when g % 2 = 0 then 1 else 2 + (g % {period}) / 2 end)"
TIME = "(localtimestamp - interval '{days} days' + (g - 1) * (interval '{days} days' / {orders}))"
DECLINE = "(case when g * 3 % 100 < 12 then 'Do not honor' end)"
RETRY = "((g / {period}) % 20 = 7 and g > {period})"

GENERATE = f"""
truncate crm_global.orders, augmented_data.order_cycles, processing.processing_actions,
         ui_54407332_clients.gateway_settings, ui_54407332_clients.gateways, ui_54407332_clients.steps,
         processing.cap, processing.cap_cc_type, processing.trailing_cap restart identity;

insert into crm_global.orders (order_id, crm_id, gateway_id, order_total, time_stamp, decline_reason)
select g, {CRM}, 1 + g * 2654435761 % 1000003 % {{gateways}}, 20 + g * 7919 % 18001 / 100.0, {TIME}, {DECLINE}
from generate_series(1::bigint, {{orders}}) g;

insert into augmented_data.order_cycles (order_id, parent_id, crm_id, cycle, decline_reason, time_stamp)
select g, case when {RETRY} then g - {{period}} end, {CRM}, case when {RETRY} then 1 else 0 end, {DECLINE}, {TIME}
from generate_series(1::bigint, {{orders}}) g;

-- the parents of the retries: g is the parent, g + period the retry
insert into processing.processing_actions (order_id, crm_id, is_dead_mid_cascade, action, time_stamp)
select g, {CRM}, true, 'dead mid cascade', {TIME}
from generate_series(1::bigint, {{orders}} - {{period}}) g
where ((g + {{period}}) / {{period}}) % 20 = 7;

"""

GENERATE += """insert into ui_54407332_clients.gateway_settings
    (gateway_id, crm_id, enabled, daily_cap, monthly_cap, cascade_cap, cascade_to, days, days_index,
     min_hour, max_hour)
select g, c, g % 7 <> 0, 2000 + g * 100, 60000 + g * 1000,
       case when g % 4 <> 0 then 5000 + g * 50 end, case when g % 3 = 0 then g % {gateways} + 1 end,
       array[1, 2, 3, 4, 5] || case when g % 2 = 0 then array[6, 7] else array[]::int[] end,
       array[0, 1, 2, 3, 4] || case when g % 2 = 0 then array[5, 6] else array[]::int[] end,
       case when g % 5 = 0 then 6 else 0 end, 23
from generate_series(1, {crms}) c, generate_series(1, {gateways}) g;

insert into ui_54407332_clients.gateways (id, crm_id, gateway_corp, gateway_name)
select g, c, 'corp ' || (g % 6), 'gateway ' || c || '-' || g
from generate_series(1, {crms}) c, generate_series(1, {gateways}) g;

insert into ui_54407332_clients.steps (app_step_id, crm_id, step, mid_id, mid_number, gateway_id, scv_level)
select row_number() over (order by c, g, s), c, s, (c - 1) * {gateways} + g,
       case when g % 10 <> 0 then 'MID' || lpad(((c - 1) * {gateways} + g)::text, 6, '0') end, g,
       case when (g + s) % 3 = 0 then 'not required' else 'required' end
from generate_series(1, {crms}) c, generate_series(1, {gateways}) g, generate_series(1, 4) s;

insert into processing.cap (mid_id, step, processor, gateway_id, alert_level, dtc_cap, lptc_cap, used_dtc, used_lptc)
select m, s, p, 1 + m % {gateways}, (m + s) % 3, 500 + m % 100, 300, m % 200, m % 50
from generate_series(1, {cap_mids}) m, generate_series(1, 4) s, unnest(array['nmi', 'stripe', 'paysafe']) p;

insert into processing.cap_cc_type (mid_id, step, processor, cc_type, gateway_id, alert_level, dtc_cap, used_dtc)
select m, s, p, t, 1 + m % {gateways}, (m + s) % 3, 400, m % 150
from generate_series(1, {cap_mids} / 2) m, generate_series(1, 4) s, unnest(array['nmi', 'stripe', 'paysafe']) p,
     unnest(array['visa', 'master']) t;

insert into processing.trailing_cap (mid_id, step, processor, gateway_id, trailing_days, trailing_cap)
select m, s, p, 1 + m % {gateways}, 30, 10000 + m
from generate_series(1, {cap_mids}) m, generate_series(1, 4) s, unnest(array['nmi', 'stripe', 'paysafe']) p;
"""


def parse_size(text):
    """'100k', '1M', '10M' or a plain number, as a count of orders."""
    match = re.fullmatch(r"(\d+)([kKmM]?)", str(text).replace("_", "").replace(",", ""))
    if match is None:
        raise ValueError(f"not a size: {text!r} (try 100k, 1M or 10M)")
    return int(match.group(1)) * {"": 1, "k": 1_000, "m": 1_000_000}[match.group(2).lower()]


def statement(orders, crms):
    if orders < 1 or crms < 2:
        raise ValueError("at least one order and two CRMs")
    return GENERATE.format(
        orders=orders, crms=crms, gateways=GATEWAYS, days=DAYS, period=2 * (crms - 1), cap_mids=CAP_ROWS // 12
    )


# The tables whose size grows with the orders: the reports' indexes on them are the
# reference indexes, and a load builds them after the rows, which is faster than keeping
# them up to date row by row.
ORDER_TABLES = ("crm_global.orders", "augmented_data.order_cycles", "processing.processing_actions")

INDEXES = """
select schemaname || '.' || indexname, indexdef from pg_indexes i
where schemaname || '.' || tablename = any(%(tables)s)
  and not exists (select from pg_constraint c where c.conname = i.indexname)
order by 1
"""


def reference_indexes(connection):
    """{qualified index name: its definition} of the order tables' indexes, less the keys."""
    return dict(connection.exec_driver_sql(INDEXES, {"tables": list(ORDER_TABLES)}).fetchall())


def drop_indexes(connection, indexes):
    for name in indexes:
        connection.exec_driver_sql(f"drop index {name}")


def create_indexes(connection, indexes):
    connection.exec_driver_sql("set local maintenance_work_mem = '256MB'")
    for definition in indexes.values():
        connection.exec_driver_sql(definition)


def load(engine, orders=100_000, crms=3):
    """Replaces the installation's rows with a generated one, in one transaction; returns
    nothing. Analyse (or vacuum) afterwards, as a live database's autovacuum would."""
    with engine.begin() as connection:
        indexes = reference_indexes(connection)
        drop_indexes(connection, indexes)
        connection.exec_driver_sql(statement(orders, crms))
        create_indexes(connection, indexes)
