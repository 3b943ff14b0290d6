"""A deterministic sample data set that looks like a small real installation.

Three CRMs with a dozen gateways (daily, monthly and cascade caps, some of them null),
a month and a half of orders up to today (some declined, some cascaded onto another
gateway after a dead-MID action), steps with MID numbers and CVV rules, and cap rows for
several processors and card types. The same seed and day give the same rows.
"""

import datetime as dt
import random

import sqlalchemy

CRMS = {
    1: [1, 2, 3, 4, 5],
    2: [11, 12, 13, 14],
    3: [21, 22, 23],
}
CORPORATIONS = ["Northwind Payments", "Acme Merchant Services", "Bluefin Processing", "Harbor Card Solutions"]
PROCESSORS = ["nmi", "stripe", "authorize"]
CARD_TYPES = ["visa", "mastercard", "amex"]
DAYS_OF_HISTORY = 45


def generate(seed=20240515, today=None):
    """The rows of every table, as {table: (columns, rows)}."""
    rng = random.Random(seed)
    today = today or dt.date.today()
    tables: dict[str, tuple[list[str], list[tuple]]] = {name: (columns, []) for name, columns in COLUMNS.items()}

    def add(table, *row):
        tables[table][1].append(row)

    for crm_id, gateway_ids in CRMS.items():
        for gateway_id in gateway_ids:
            days = sorted(rng.sample(range(1, 8), rng.randint(3, 7)))
            add(
                "ui_54407332_clients.gateway_settings",
                gateway_id,
                crm_id,
                rng.random() > 0.15,
                rng.choice([500, 1000, 2500, None]),
                rng.choice([20000, 30000, 45000, None]),
                rng.choice([5000, 8000, None]),
                rng.choice([g for g in gateway_ids if g != gateway_id] + [None]),
                days,
                list(range(len(days))),
                rng.choice([0, 6]),
                rng.choice([22, 23]),
            )
            add("ui_54407332_clients.gateways", gateway_id, crm_id, rng.choice(CORPORATIONS), f"Gateway {gateway_id}")

    order_id = 100000
    start = dt.datetime.combine(today - dt.timedelta(days=DAYS_OF_HISTORY), dt.time())
    for day in range(DAYS_OF_HISTORY + 1):
        for crm_id, gateway_ids in CRMS.items():
            for gateway_id in gateway_ids:
                for _ in range(rng.randint(6, 14)):
                    order_id += 1
                    when = start + dt.timedelta(days=day, seconds=rng.randint(0, 86399))
                    if when > dt.datetime.combine(today, dt.time(23, 59)):
                        continue
                    declined = rng.random() < 0.12
                    add(
                        "crm_global.orders",
                        order_id,
                        crm_id,
                        gateway_id,
                        round(rng.uniform(19.99, 199.99), 2),
                        when,
                        rng.choice(["Do not honor", "Insufficient funds"]) if declined else None,
                    )
                    if declined and rng.random() < 0.5:
                        order_id = _cascade(add, rng, order_id, crm_id, gateway_id, gateway_ids, when)

    mid_id = 500
    for crm_id, gateway_ids in CRMS.items():
        for step in range(1, 4):
            for gateway_id in gateway_ids[:3]:
                mid_id += 1
                app_step_id = len(tables["ui_54407332_clients.steps"][1]) + 1
                add(
                    "ui_54407332_clients.steps",
                    app_step_id,
                    crm_id,
                    step,
                    mid_id,
                    None if rng.random() < 0.1 else f"MN-{rng.randint(100000, 999999)}",
                    gateway_id,
                    rng.choice(["not required", "required", "required"]),
                )
                for processor in rng.sample(PROCESSORS, 2):
                    add(
                        "processing.cap",
                        mid_id,
                        step,
                        processor,
                        gateway_id,
                        rng.randint(0, 3),
                        rng.choice([300, 500]),
                        rng.choice([100, 200]),
                        rng.randint(0, 250),
                        rng.randint(0, 90),
                    )
                    for card in CARD_TYPES:
                        add(
                            "processing.cap_cc_type",
                            mid_id,
                            step,
                            processor,
                            card,
                            gateway_id,
                            rng.randint(0, 3),
                            rng.choice([100, 200]),
                            rng.randint(0, 80),
                        )
                    add(
                        "processing.trailing_cap",
                        mid_id,
                        step,
                        processor,
                        gateway_id,
                        rng.choice([7, 30]),
                        rng.choice([5000, 12000]),
                    )
    return tables


def _cascade(add, rng, order_id, crm_id, gateway_id, gateway_ids, when):
    """A dead-MID action on a declined order, and its retry on another gateway."""
    add("processing.processing_actions", order_id, crm_id, True, "dead mid cascade", when)
    child = order_id + 1
    retried = when + dt.timedelta(minutes=rng.randint(1, 30))
    declined = rng.random() < 0.2
    add(
        "crm_global.orders",
        child,
        crm_id,
        rng.choice([g for g in gateway_ids if g != gateway_id]),
        round(rng.uniform(19.99, 199.99), 2),
        retried,
        "Do not honor" if declined else None,
    )
    add("augmented_data.order_cycles", child, order_id, crm_id, 1, "Do not honor" if declined else None, retried)
    return child


COLUMNS = {
    "ui_54407332_clients.gateway_settings": [
        "gateway_id",
        "crm_id",
        "enabled",
        "daily_cap",
        "monthly_cap",
        "cascade_cap",
        "cascade_to",
        "days",
        "days_index",
        "min_hour",
        "max_hour",
    ],
    "ui_54407332_clients.gateways": ["id", "crm_id", "gateway_corp", "gateway_name"],
    "ui_54407332_clients.steps": ["app_step_id", "crm_id", "step", "mid_id", "mid_number", "gateway_id", "scv_level"],
    "crm_global.orders": ["order_id", "crm_id", "gateway_id", "order_total", "time_stamp", "decline_reason"],
    "processing.processing_actions": ["order_id", "crm_id", "is_dead_mid_cascade", "action", "time_stamp"],
    "augmented_data.order_cycles": ["order_id", "parent_id", "crm_id", "cycle", "decline_reason", "time_stamp"],
    "processing.cap": [
        "mid_id",
        "step",
        "processor",
        "gateway_id",
        "alert_level",
        "dtc_cap",
        "lptc_cap",
        "used_dtc",
        "used_lptc",
    ],
    "processing.cap_cc_type": [
        "mid_id",
        "step",
        "processor",
        "cc_type",
        "gateway_id",
        "alert_level",
        "dtc_cap",
        "used_dtc",
    ],
    "processing.trailing_cap": ["mid_id", "step", "processor", "gateway_id", "trailing_days", "trailing_cap"],
}


def load(engine, tables=None):
    """Insert the sample rows through the engine; returns the row count per table. The
    rows go as one executemany per table, which SQLAlchemy sends in batches of many rows
    with either driver."""
    tables = tables or generate()
    with engine.begin() as connection:
        for table, (columns, rows) in tables.items():
            schema, name = table.split(".")
            target = sqlalchemy.table(name, *map(sqlalchemy.column, columns), schema=schema)
            if rows:
                connection.execute(target.insert(), [dict(zip(columns, row)) for row in rows])
        connection.exec_driver_sql("analyze")
    return {table: len(rows) for table, (columns, rows) in tables.items()}
