"""The edges of a host process's life: exit with daemon threads inside a method, the
host's own open transaction, a stack that is not the thread's, and an interrupt while
a failed update is judged."""

import ast
import os
import textwrap
import threading
import time

import pytest
import sqlalchemy
from conftest import HOST, collapse, insert, query
from frame_support import MODULE_DIR, run_python
from recording import Host

import gateways
import pgserver

INCREMENT = gateways.CapReport.increment_transaction_counts


# Exit while daemon threads count: the interpreter ends such a thread when it asks for
# the lock again during finalisation; no Python object may be touched without the lock.
COUNTING_AT_EXIT = """
import sys, threading, time
sys.path.insert(0, {host!r})
import gateways
from models.db import Database

class Deadlocked(Exception):
    pgcode = "40P01"

class AlwaysDeadlocked:
    def execute(self, sql):
        raise Deadlocked()

caps = gateways.CapReport(Database({url!r}))
if {always_deadlocked!r}:
    caps.engine = AlwaysDeadlocked()

def count():
    while True:
        try:
            caps.increment_transaction_counts(1, "nmi", 1)
        except Deadlocked:
            pass

for _ in range(4):
    threading.Thread(target=count, daemon=True).start()
time.sleep(0.3)
"""


@pytest.fixture
def counted_row(db):
    insert(db, "processing.cap", [dict(mid_id=1, step=1, processor=p) for p in ("nmi", "stripe")])
    return db


@pytest.mark.parametrize("always_deadlocked", [False, True], ids=["real server", "always 40P01"])
def test_exit_with_daemon_threads_counting(counted_row, database_url, tmp_path, always_deadlocked, scale):
    script = COUNTING_AT_EXIT.format(host=str(HOST), url=database_url, always_deadlocked=always_deadlocked)
    outcomes = []
    for _ in range(6 * scale):
        result = run_python(script, tmp_path, module_dir=MODULE_DIR)
        outcomes.append((result.returncode, result.stderr[-300:]))
    assert [code for code, _ in outcomes] == [0] * len(outcomes), outcomes


# The host's unit of work: a connection in an open transaction. A conflict there aborts
# the whole transaction, so the error must reach the host as the driver raised it.


class UnitOfWork:
    """SQLAlchemy 2's connection with 1.4's execute(text), as a host on 2.x adds it."""

    def __init__(self, connection):
        self.connection = connection

    def execute(self, sql):
        return self.connection.exec_driver_sql(sql)

    def in_transaction(self):
        return self.connection.in_transaction()


def as_engine(connection):
    return connection if sqlalchemy.__version__.startswith("1.") else UnitOfWork(connection)


def wait_until_waiting(db, pid, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if query(db, f"select wait_event_type from pg_stat_activity where pid = {pid}") == [("Lock",)]:
            return
        time.sleep(0.01)
    raise AssertionError("the other transaction never waited for its lock")


def test_conflict_in_the_hosts_transaction_passes_on(counted_row, server):
    """A deadlock made on purpose: the other transaction holds the counted rows and waits
    for a row of the host's; the host's counting update then closes the cycle, and its
    short deadlock timeout makes it the one the server rolls back."""
    if server is None:
        pytest.skip("sets deadlock_timeout, which needs the throwaway server's superuser")
    db = counted_row
    insert(db, "processing.cap", [dict(mid_id=2, step=1, processor="nmi")])
    with db.engine.connect() as host_side, db.engine.connect() as other:
        host_work = host_side.begin()
        host_side.exec_driver_sql("set local deadlock_timeout = '20ms'")
        host_side.exec_driver_sql("update processing.cap set used_dtc = used_dtc where mid_id = 2")
        other_work = other.begin()  # before any statement: SQLAlchemy 2 would autobegin
        other_pid = other.exec_driver_sql("select pg_backend_pid()").scalar()
        other.exec_driver_sql("set local deadlock_timeout = '1h'")
        other.exec_driver_sql("update processing.cap set used_dtc = used_dtc where mid_id = 1")
        waiter = threading.Thread(
            target=other.exec_driver_sql, args=("update processing.cap set used_dtc = used_dtc where mid_id = 2",)
        )
        waiter.start()
        try:
            wait_until_waiting(db, other_pid)
            caps = gateways.CapReport(db)
            caps.engine = as_engine(host_side)
            with pytest.raises(Exception) as raised:
                caps.increment_transaction_counts(1, "nmi", 1)
            assert pgserver.sqlstate(raised.value) == "40P01", repr(raised.value)
        finally:
            host_work.rollback()
            waiter.join()
            other_work.rollback()
    assert query(db, "select sum(used_dtc) from processing.cap") == [(0,)]


class Conflict(Exception):
    pgcode = "40P01"


class EngineInTransaction:
    """Raises a conflict on every statement; says whether a transaction is open."""

    def __init__(self, in_transaction):
        self.statements, self.answer = [], in_transaction

    def execute(self, sql):
        self.statements.append(sql)
        raise Conflict()

    def in_transaction(self):
        if isinstance(self.answer, BaseException):
            raise self.answer
        return self.answer


class TestRetryOnlyOutsideTheHostsTransaction:
    @pytest.mark.parametrize(
        "answer, sent",
        [(True, 1), (False, 6), (RuntimeError("closed"), 1)],
        ids=["open transaction: the conflict itself", "no transaction: retried", "no answer: taken as open"],
    )
    def test_statements_sent(self, answer, sent):
        host = Host()
        host.engine = EngineInTransaction(answer)
        with pytest.raises(Conflict):
            INCREMENT(host, 17, "nmi", 2)
        assert len(host.engine.statements) == sent

    def test_interrupt_while_asking_passes_on(self):
        host = Host()
        interrupt = KeyboardInterrupt()
        host.engine = EngineInTransaction(interrupt)
        with pytest.raises(KeyboardInterrupt) as raised:
            INCREMENT(host, 17, "nmi", 2)
        assert raised.value is interrupt
        assert isinstance(raised.value.__context__, Conflict)
        assert len(host.engine.statements) == 1


class InterruptedDriverError(Exception):
    """A driver error whose SQLSTATE getter is interrupted."""

    def __init__(self, interrupt):
        super().__init__("conflict")
        self.interrupt = interrupt

    @property
    def pgcode(self):
        raise self.interrupt


class Raising:
    def __init__(self, error):
        self.error, self.statements = error, []

    def execute(self, sql):
        self.statements.append(sql)
        raise self.error


def test_interrupt_while_judging_an_error_passes_on():
    interrupt = KeyboardInterrupt()
    error = InterruptedDriverError(interrupt)
    host = Host()
    host.engine = Raising(error)
    with pytest.raises(KeyboardInterrupt) as raised:
        INCREMENT(host, 17, "nmi", 2)
    assert raised.value is interrupt
    assert raised.value.__context__ is error
    assert len(host.engine.statements) == 1


def test_exception_while_judging_an_error_is_dropped():
    error = InterruptedDriverError(RuntimeError("no code"))
    host = Host()
    host.engine = Raising(error)
    with pytest.raises(InterruptedDriverError) as raised:
        INCREMENT(host, 17, "nmi", 2)
    assert raised.value is error
    assert len(host.engine.statements) == 1


# Fiber servers run code on stacks they allocate themselves (makecontext/swapcontext).
ON_A_STACK_OF_ITS_OWN = """
import ctypes, sys
sys.path.insert(0, {host!r})
import gateways
from recording import Host

libc = ctypes.CDLL(None)
CONTEXT = 4096  # bytes, more than any ucontext_t
caller, fiber = ctypes.create_string_buffer(CONTEXT), ctypes.create_string_buffer(CONTEXT)
stack = ctypes.create_string_buffer(16 << 20)  # on the heap
outcome = []

def work():
    host = Host()
    gateways.CapReport.increment_transaction_counts(host, 17, "nmi", 2)
    first = gateways.GatewaySettings.get_first_dom()
    settings = gateways.GatewaySettings.__new__(gateways.GatewaySettings)
    settings.today_cap_report = settings.cap_limits  # methods reaching each other for ever
    sys.setrecursionlimit(400)
    try:
        settings.cap_limits(1)
    except RecursionError:
        deep = "RecursionError"
    return host.engine.statements, first.day, deep

@ctypes.CFUNCTYPE(None)
def body():
    try:
        outcome.append(work())
    except BaseException as error:
        outcome.append(repr(error))

libc.getcontext(fiber)
# ucontext_t on glibc (x86-64 and aarch64): uc_link at 8; uc_stack.ss_sp at 16, ss_size at 32.
ctypes.c_void_p.from_buffer(fiber, 8).value = ctypes.addressof(caller)
ctypes.c_void_p.from_buffer(fiber, 16).value = ctypes.addressof(stack)
ctypes.c_size_t.from_buffer(fiber, 32).value = len(stack)
libc.makecontext(fiber, body, 0)
libc.swapcontext(caller, fiber)
print(outcome)
"""


@pytest.mark.skipif(
    os.environ.get("GATEWAYS_SANITIZED") == "1",
    reason="AddressSanitizer does not follow swapcontext and reports the fiber's stack as overflowed",
)
def test_methods_on_a_stack_of_their_own(tmp_path):
    script = textwrap.dedent(ON_A_STACK_OF_ITS_OWN).format(host=str(HOST))
    result = run_python(script, HOST.parent / "tests")
    assert result.returncode == 0, result.stderr
    statement = "update processing.cap set used_dtc = used_dtc+1 where mid_id =17 and step = 2"
    (sent, depth, at_the_limit), *others = ast.literal_eval(result.stdout.strip())
    assert ([collapse(sql) for sql in sent], depth, at_the_limit, others) == ([statement], 1, "RecursionError", [])
