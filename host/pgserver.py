"""A throwaway PostgreSQL server for the tests and the demo.

``ThrowawayPostgres`` runs initdb and pg_ctl from the newest
``/usr/lib/postgresql/<version>/bin`` in a temporary folder, listening on a unix socket
in that folder only, with trust authentication; as root it runs the server as the
``postgres`` system user. It creates one database, loads the reference schema, and on
stop (also at interpreter exit or on SIGTERM) stops the server and removes the folder.
``start_standby()`` adds a hot standby streaming from it, in a folder of its own inside.
"""

import atexit
import glob
import importlib
import importlib.util
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SCHEMA = Path(__file__).with_name("schema.sql")
URL_VARIABLE = "GATEWAYS_TEST_DATABASE_URL"
SERVER_USER = "postgres"
DRIVER_VARIABLE = "GATEWAYS_PG_DRIVER"


def driver():
    """The PostgreSQL driver to use: $GATEWAYS_PG_DRIVER, else psycopg2 where it is
    installed, else psycopg (3). SQLAlchemy names its dialect after it."""
    chosen = os.environ.get(DRIVER_VARIABLE)
    if chosen:
        return chosen
    for name in ("psycopg2", "psycopg"):
        if importlib.util.find_spec(name) is not None:
            return name
    raise ServerUnavailable("neither psycopg2 nor psycopg is installed")


def sqlstate(error):
    """The SQLSTATE of a database error, or None: the driver's own (psycopg2 names it
    pgcode, psycopg sqlstate), found on the error, under SQLAlchemy's ``.orig`` or as the
    ``__cause__`` of an error pandas raised in its place."""
    seen = set()
    while error is not None and id(error) not in seen:
        seen.add(id(error))
        code = getattr(error, "pgcode", None) or getattr(error, "sqlstate", None)
        if code:
            return code
        error = getattr(error, "orig", None) or error.__cause__
    return None


class ServerUnavailable(RuntimeError):
    """The server binaries, or the user to run them as, are missing."""


def server_binaries():
    """The bin folder of the newest installed PostgreSQL server."""

    def version(path):
        return [int(part) for part in re.findall(r"\d+", Path(path).parent.name)]

    for folder in sorted(glob.glob("/usr/lib/postgresql/*/bin"), key=version, reverse=True):
        if all(os.access(Path(folder, tool), os.X_OK) for tool in ("initdb", "pg_ctl", "postgres")):
            return Path(folder)
    raise ServerUnavailable(
        "PostgreSQL server binaries are missing: no initdb, pg_ctl and postgres under "
        "/usr/lib/postgresql/<version>/bin. Install them with "
        "'apt-get update && apt-get install -y postgresql' (as root), "
        f"or set {URL_VARIABLE} to the URL of an existing server."
    )


def load_schema(url, path=SCHEMA):
    """Run the SQL file at ``path`` on the database at ``url``."""
    import sqlalchemy

    engine = sqlalchemy.create_engine(url)
    try:
        with engine.begin() as connection:
            # Straight to the driver's cursor, with no parameters, so that a % in the
            # file's comments is text and not a placeholder.
            with connection.connection.cursor() as cursor:
                cursor.execute(Path(path).read_text())
    finally:
        engine.dispose()


class ThrowawayPostgres:
    def __init__(self, dbname="gateways", schema=SCHEMA, settings=None):
        self.dbname = dbname
        self.schema = schema
        self.settings = dict(settings or {})  # server settings beyond the defaults, such as preloads
        self.folder = None
        self.url = None
        self.standby_url = None
        self._as_user = []

    # -- lifecycle -------------------------------------------------------------------

    def start(self):
        bin_dir = server_binaries()
        self.folder = Path(tempfile.mkdtemp(prefix="gateways-pg-"))
        atexit.register(self.stop)
        _stop_on_sigterm()
        try:
            if os.geteuid() == 0:
                self._run_as_server_user()
            data = self.folder / "data"
            self._run(
                bin_dir / "initdb",
                "-D",
                data,
                "-U",
                SERVER_USER,
                "-A",
                "trust",
                "-E",
                "UTF8",
                "--locale=C",
                "--no-sync",
            )
            options = (
                f"-k {self.folder} -c listen_addresses='' -c fsync=off "
                "-c synchronous_commit=off -c full_page_writes=off"
            )
            options += "".join(f" -c {name}={value}" for name, value in self.settings.items())
            self._bin_dir = bin_dir
            self._options = options
            self.start_server()
            self._create_database()
            self.url = f"postgresql+{driver()}://{SERVER_USER}@/{self.dbname}?host={self.folder}"
            if self.schema is not None:
                load_schema(self.url, self.schema)
        except BaseException:
            self.stop()
            raise
        return self.url

    def stop(self):
        folder = self.folder
        if folder is None:
            return
        try:
            for data in (folder / "standby" / "data", folder / "data"):
                if (data / "postmaster.pid").exists():
                    try:
                        self._run(self._bin_dir / "pg_ctl", "-D", data, "-m", "immediate", "-w", "stop")
                    except RuntimeError:
                        pass  # already stopped
        finally:
            self.folder = None
            self.standby_url = None
            shutil.rmtree(folder, ignore_errors=True)

    @property
    def _folder(self):
        """The running server's folder; stopping it is an error once it is removed."""
        if self.folder is None:
            raise RuntimeError("the server is not running")
        return self.folder

    def stop_server(self):
        """Stops the server, keeping its data: connections to it fail until start_server()."""
        self._run(self._bin_dir / "pg_ctl", "-D", self._folder / "data", "-m", "fast", "-w", "stop")

    def start_server(self):
        self._run(
            self._bin_dir / "pg_ctl",
            "-D",
            self._folder / "data",
            "-l",
            self._folder / "server.log",
            "-o",
            self._options,
            "-w",
            "-t",
            "60",
            "start",
        )

    def start_standby(self):
        """Starts a hot standby of the server, streaming from it (pg_basebackup -R -X
        stream), and returns its URL. It listens on a socket folder of its own and stops
        with the server."""
        folder = self._folder / "standby"
        if (folder / "data" / "postmaster.pid").exists():
            return self.standby_url
        folder.mkdir(exist_ok=True)
        if self._as_user:
            shutil.chown(folder, SERVER_USER, SERVER_USER)
        self._run(
            self._bin_dir / "pg_basebackup",
            "-D",
            folder / "data",
            "-h",
            self._folder,
            "-U",
            SERVER_USER,
            "-R",
            "-X",
            "stream",
            "--checkpoint=fast",
            "--no-sync",
        )
        self._run(
            self._bin_dir / "pg_ctl",
            "-D",
            folder / "data",
            "-l",
            folder / "server.log",
            "-o",
            self._options.replace(f"-k {self._folder} ", f"-k {folder} ") + " -c hot_standby=on",
            "-w",
            "-t",
            "60",
            "start",
        )
        self.standby_url = f"postgresql+{driver()}://{SERVER_USER}@/{self.dbname}?host={folder}"
        return self.standby_url

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    # -- helpers ---------------------------------------------------------------------

    def _run_as_server_user(self):
        import pwd

        try:
            user = pwd.getpwnam(SERVER_USER)
        except KeyError:
            raise ServerUnavailable(
                f"running as root, but there is no '{SERVER_USER}' system user to run the "
                "server as; installing PostgreSQL with 'apt-get install -y postgresql' creates it"
            ) from None
        os.chown(self._folder, user.pw_uid, user.pw_gid)
        self._as_user = ["runuser", "-u", SERVER_USER, "--"]

    def _run(self, *command):
        # The server is a program of its own: it gets none of this process's preloads
        # (a sanitizer runtime, say).
        env = {key: value for key, value in os.environ.items() if key not in ("LD_PRELOAD", "ASAN_OPTIONS")}
        result = subprocess.run(
            self._as_user + [str(part) for part in command], cwd=self._folder, capture_output=True, text=True, env=env
        )
        if result.returncode != 0:
            log = self._folder / "server.log"
            tail = log.read_text()[-2000:] if log.exists() else ""
            raise RuntimeError(
                f"{Path(str(command[0])).name} failed ({result.returncode}):\n{result.stdout}{result.stderr}{tail}"
            )

    def _create_database(self):
        connect = importlib.import_module(driver()).connect
        connection = connect(host=str(self.folder), user=SERVER_USER, dbname="postgres")
        try:
            connection.autocommit = True
            with connection.cursor() as cursor:
                cursor.execute(f'create database "{self.dbname}"')
        finally:
            connection.close()


def wait_for_replay(primary_engine, standby_engine, timeout=60.0):
    """Waits until the standby has replayed everything the primary had written when it
    was called; TimeoutError after ``timeout`` seconds."""
    with primary_engine.connect() as connection:
        [(written,)] = connection.exec_driver_sql("select pg_current_wal_insert_lsn()::text").fetchall()
    deadline = time.monotonic() + timeout
    while True:
        with standby_engine.connect() as connection:
            [(behind,)] = connection.exec_driver_sql(
                f"select coalesce(pg_last_wal_replay_lsn() < '{written}'::pg_lsn, true)"
            ).fetchall()
        if not behind:
            return
        if time.monotonic() > deadline:
            raise TimeoutError(f"the standby has not replayed up to {written} in {timeout:.0f} s")
        time.sleep(0.02)


def _stop_on_sigterm():
    """Turn SIGTERM into an orderly exit so that atexit stops the server."""
    if signal.getsignal(signal.SIGTERM) is signal.SIG_DFL:
        try:
            signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(128 + signum))
        except ValueError:  # not the main thread
            pass
