"""A walk through every class of gateways on a sample installation.

Without arguments it starts a throwaway PostgreSQL, loads the reference schema and the
sample data set, calls every method of the six classes and prints each result under a
heading that says what it shows; it also draws each gateway's monthly cap use to a PNG.

    python examples/demo.py [--database-url URL [--allow-writes]] [--chart PATH]

With --database-url it reads an existing database instead; the two writing calls
(disable, increment_transaction_counts) run there only with --allow-writes.
"""

import argparse
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path[:0] = [str(ROOT / "host"), str(ROOT / "examples")]

import models.db  # noqa: F401, I001  (first: it settles SQLAlchemy's warnings)
import pandas as pd
import sample_data
import sqlalchemy

import pgserver
from models.db import Database

REQUIRED_TABLES = list(sample_data.COLUMNS)
pd.set_option("display.width", 160)
pd.set_option("display.max_columns", 20)


class DemoError(Exception):
    """A problem to report in one line."""


def heading(call, what):
    print(f"\n=== {call}\n    {what}")


def show(call, what, result, rows=12):
    heading(call, what)
    if isinstance(result, pd.DataFrame):
        text = (
            result.head(rows).to_string()
            if len(result)
            else f"(no rows; columns: {', '.join(map(str, result.columns))})"
        )
        print(text if len(result) <= rows else f"{text}\n... {len(result)} rows in all")
    elif isinstance(result, dict):
        print(
            pd.DataFrame(
                {
                    "list": list(result),
                    "length": [len(v) for v in result.values()],
                    "first values": [v[:8] for v in result.values()],
                }
            ).to_string(index=False)
        )
    elif isinstance(result, list) and result and isinstance(result[0], dict):
        print(pd.DataFrame(result).to_string(index=False))
    else:
        print(repr(result))
    return result


def check_database(db, shown_url):
    try:
        with db.engine.connect() as connection:
            missing = [
                table
                for table in REQUIRED_TABLES
                if connection.exec_driver_sql(f"select to_regclass('{table}')").scalar() is None
            ]
    except sqlalchemy.exc.SQLAlchemyError as error:
        reason = str(getattr(error, "orig", error)).strip().splitlines()[0]
        raise DemoError(f"cannot reach the database at {shown_url}: {reason}") from None
    if missing:
        raise DemoError(f"the database at {shown_url} lacks {', '.join(missing)}: load host/schema.sql first")


def walk_settings(db, writes):
    import gateways

    settings = gateways.GatewaySettings(db)
    print(f"\n##### GatewaySettings over {settings.schema}.{settings.table}")
    show(
        "GatewaySettings.get_first_dom()",
        "the first day of this month, the lower bound of month-to-date reports",
        settings.get_first_dom(),
    )
    show(
        "GatewaySettings.get_get_tomorrow()",
        "tomorrow, the upper bound of the cascade report",
        settings.get_get_tomorrow(),
    )
    show("get_exploded()", "every CRM's settings, one row per allowed day, indexed by gateway", settings.get_exploded())
    show("cap_report(1)", "CRM 1: caps beside every approved order total ever", settings.cap_report(1))
    show("mtd_cap_report(1)", "CRM 1: caps beside this month's approved totals", settings.mtd_cap_report(1))
    show(
        "today_cap_report(1)",
        "CRM 1: caps beside today's approved totals (clock less timeOffset hours)",
        settings.today_cap_report(1),
    )
    show(
        "cap_limits(1)",
        "CRM 1: today's total, and the monthly cap still available (negative: over the cap)",
        settings.cap_limits(1),
    )
    show(
        "mtd_cascade_report(1)",
        "CRM 1: this month's orders cascaded onto each gateway after a dead-MID "
        "decline, against its cascade cap (20000 when none is set)",
        settings.mtd_cascade_report(1),
    )
    if writes:
        settings.disable(2, [12, 13])
        show(
            "disable(2, [12, 13]), then the settings of CRM 2",
            "gateways 12 and 13 of CRM 2 switched off",
            settings.get(["gateway_id", "crm_id", "enabled"], where=" where crm_id = 2", orderBy="gateway_id"),
        )
    return settings


def walk_names_and_steps(db):
    import gateways

    names = gateways.GatewayNames(db)
    print(f"\n##### GatewayNames over {names.schema}.{names.table}")
    show("gateway_corp_list()", "every CRM's gateways with their corporation", names.gateway_corp_list())
    show("gateway_corp_list(1)", "the gateways of CRM 1", names.gateway_corp_list(1))
    show(
        "update_lists(1)",
        "CRM 1: ids with rows in the names and settings tables (_up), candidates 1 to 999 still missing (_ins)",
        names.update_lists(1),
    )

    steps = gateways.GatewaySteps(db)
    print(f"\n##### GatewaySteps over {steps.schema}.{steps.table}")
    show("next_app_step_id()", "the next free step number, across all CRMs", steps.next_app_step_id())
    show(
        "get_no_cvv_required(1, ['app_step_id', 'step', 'mid_id', 'gateway_id'])",
        "CRM 1: steps that need no card security code",
        steps.get_no_cvv_required(1, ["app_step_id", "step", "mid_id", "gateway_id"]),
    )
    first = steps.get(["mid_id", "step", "gateway_id", "crm_id"], where=" where crm_id = 1", orderBy="app_step_id")
    if len(first):
        mid_id, step, gateway_id, crm_id = (int(v) for v in first.iloc[0])
        show(
            f"get_mid_numbers_by_mid_id({mid_id}, {step})",
            f"the CRMs and MID numbers of MID {mid_id} on step {step}",
            steps.get_mid_numbers_by_mid_id(mid_id, step),
        )
        show(
            f"get_mid_numbers_by_gateway_id({gateway_id}, {crm_id})",
            f"the first MID number of gateway {gateway_id} in CRM {crm_id}",
            steps.get_mid_numbers_by_gateway_id(gateway_id, crm_id),
        )
    return first


def walk_caps(db, writes, first_step):
    import gateways

    for cls in (gateways.CapReport, gateways.CCTypeCapReport, gateways.TrailingCapReport):
        report = cls(db)
        print(f"\n##### {cls.__name__} over {report.schema}.{report.table}")
        what = (
            "the key of each trailing cap row (this table's alert read asks for no more)"
            if cls is gateways.TrailingCapReport
            else "the stored alert level of each cap row"
        )
        show(f"{cls.__name__}.get_alert_level()", what, report.get_alert_level())
        show(
            f"{cls.__name__}.get_gateway_cap_model(1)",
            "CRM 1: cap rows joined with its step assignments",
            report.get_gateway_cap_model(1),
        )
    if writes and len(first_step):
        mid_id, step = (int(v) for v in first_step.iloc[0][:2])
        caps = gateways.CapReport(db)
        where = f" where mid_id = {mid_id} and step = {step}"
        before = caps.get(["processor", "used_dtc", "used_lptc"], where=where, orderBy="processor")
        caps.increment_transaction_counts(mid_id, "nmi", step)
        caps.increment_transaction_counts(mid_id, "nmi", step, is_lp=True)
        after = caps.get(["processor", "used_dtc", "used_lptc"], where=where, orderBy="processor")
        show(
            f"increment_transaction_counts({mid_id}, 'nmi', {step}) twice, once with is_lp=True",
            "every processor's counters of that MID and step: used_dtc up by 2, used_lptc by 1 (before | after)",
            before.merge(after, on="processor", suffixes=(" before", " after")),
        )


def chart_rows(settings, names, crm_id):
    """cap_limits of one CRM with what an operator reads beside it: the gateway's
    corporation, whether a monthly cap is set at all, and whether the gateway is on."""
    limits = settings.cap_limits(crm_id)
    own = settings.get(["gateway_id", "monthly_cap", "enabled"], where=f" where crm_id = {crm_id}")
    own = own.rename(columns={"monthly_cap": "cap_set"})
    corps = names.gateway_corp_list(crm_id)[["gateway_id", "gateway_corp"]]
    rows = limits.merge(own, on="gateway_id", how="left").merge(corps, on="gateway_id", how="left")
    rows["cap_set"] = rows.cap_set.notna()
    rows["enabled"] = rows.enabled.fillna(True).astype(bool)
    return rows.sort_values("gateway_id").reset_index(drop=True)


def draw_chart(settings, names, path):
    import datetime
    import textwrap

    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    from models import config

    today = (datetime.datetime.now() - datetime.timedelta(hours=config.timeOffset)).date()
    figure, axes = plt.subplots(1, len(sample_data.CRMS), figsize=(16, 5.5), sharey=True)
    for axis, crm_id in zip(axes, sample_data.CRMS):
        rows = chart_rows(settings, names, crm_id)
        approved = rows.monthly_cap - rows.available
        capped = rows.cap_set
        x = list(range(len(rows)))
        cap_x = [i - 0.27 for i, c in zip(x, capped) if c]
        axis.bar(cap_x, rows.monthly_cap[capped], 0.27, label="monthly cap", color="tab:blue")
        axis.bar(x, approved, 0.27, label="approved this month", color="tab:orange")
        left_x = [i + 0.27 for i, c in zip(x, capped) if c]
        axis.bar(left_x, rows.available[capped], 0.27, label="still available", color="tab:green")
        for i, row in rows.iterrows():
            if not row.cap_set:
                axis.annotate(
                    "no cap set",
                    (i, approved[i]),
                    xytext=(0, 4),
                    textcoords="offset points",
                    ha="center",
                    va="bottom",
                    fontsize=8,
                )
            if not row.enabled:
                axis.axvspan(i - 0.45, i + 0.45, color="grey", alpha=0.25, linewidth=0)
        labels = [
            f"{g}{' (off)' if not on else ''}\n{textwrap.fill(corp, 12) if isinstance(corp, str) else ''}"
            for g, corp, on in zip(rows.gateway_id, rows.gateway_corp, rows.enabled)
        ]
        axis.axhline(0, color="black", linewidth=0.6)
        axis.set_xticks(x, labels, fontsize=7)
        axis.set_title(f"CRM {crm_id}")
        axis.set_xlabel("gateway and corporation (grey: switched off)")
    axes[0].set_ylabel("amount")
    handles, labels = axes[0].get_legend_handles_labels()
    figure.legend(handles, labels, loc="lower center", ncol=3, fontsize=9)
    figure.suptitle(f"Monthly cap use per gateway, {today:%B} 1 to {today:%d} ({today.isoformat()})")
    figure.tight_layout(rect=(0, 0.07, 1, 1))
    path.parent.mkdir(parents=True, exist_ok=True)
    figure.savefig(path, dpi=110)
    plt.close(figure)


def run(url, writes, chart):
    import gateways

    shown_url = sqlalchemy.engine.make_url(url).render_as_string(hide_password=True)
    db = Database(url)
    try:
        check_database(db, shown_url)
        settings = walk_settings(db, writes)
        first_step = walk_names_and_steps(db)
        walk_caps(db, writes, first_step)
        if chart:
            draw_chart(settings, gateways.GatewayNames(db), chart)
            print(f"\nChart of monthly cap use written to {chart}")
    finally:
        db.dispose()


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--database-url", help="read this existing database instead of a throwaway one")
    parser.add_argument(
        "--allow-writes",
        action="store_true",
        help="with --database-url, also run disable and increment_transaction_counts",
    )
    parser.add_argument(
        "--chart",
        type=Path,
        default=ROOT / "build" / "demo" / "cap_use.png",
        help="where to write the chart (default: %(default)s)",
    )
    parser.add_argument("--no-chart", action="store_true", help="draw no chart")
    args = parser.parse_args(argv)
    chart = None if args.no_chart else args.chart
    try:
        if args.database_url:
            run(args.database_url, args.allow_writes, chart)
        else:
            with pgserver.ThrowawayPostgres() as server:
                counts = sample_data.load(sqlalchemy.create_engine(server.url))
                print(
                    f"Throwaway PostgreSQL with the sample data set: {', '.join(f'{n} {t}' for t, n in counts.items())}"
                )
                run(server.url, True, chart)
            print("\nThrowaway PostgreSQL stopped and removed.")
    except (DemoError, pgserver.ServerUnavailable) as error:
        print(f"demo: error: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
