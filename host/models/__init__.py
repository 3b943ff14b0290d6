"""Stand-in for the host application's own ``models`` package.

It offers what ``gateways`` relies on: ``models.db`` with the database object and the
base classes ``ClientStructure`` and ``Db``, and ``models.config`` with ``timeOffset``.
It is real: the base classes run their SQL on PostgreSQL through SQLAlchemy 1.4 or 2
(on 2, the engine gets back 1.4's ``execute``).
"""
