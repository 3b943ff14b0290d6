-- Reference schema: every table that gateways reads or writes, with the columns it
-- relies on, the key constraints its classes declare, and the indexes its statements use.
-- Loading it drops and recreates the four schemas.
--
-- Server settings the order reports want (postgresql.conf, or alter database ... set):
--   jit = off, or jit_above_cost = 500000 or more. At the default (100000) the all-time
--     and cascade reports compile their plans on every call, about 150 ms each at 10M
--     orders, which the call never earns back. Costs nothing for the module's statements.
--   work_mem = 8MB, or hash_mem_multiplier = 4. The cascade report hashes the CRM's
--     dead-MID actions of all time (250k at 10M orders), which at the default 4MB spills
--     to disk in two batches. Costs up to that much per hash or sort of every session.

drop schema if exists ui_54407332_clients, crm_global, processing, augmented_data cascade;
create schema ui_54407332_clients;
create schema crm_global;
create schema processing;
create schema augmented_data;

-- Client account 54407332 ---------------------------------------------------------------

create table ui_54407332_clients.gateway_settings (
    gateway_id   integer  not null,
    crm_id       integer  not null,
    enabled      boolean  not null default true,
    daily_cap    numeric(14, 2),
    monthly_cap  numeric(14, 2),
    cascade_cap  numeric(14, 2),
    cascade_to   integer,
    days         integer[],
    days_index   integer[],
    min_hour     integer,
    max_hour     integer,
    constraint gateway_settings_pk primary key (gateway_id, crm_id)
);
create index gateway_settings_crm on ui_54407332_clients.gateway_settings (crm_id);

create table ui_54407332_clients.gateways (
    id            integer not null,
    crm_id        integer not null,
    gateway_corp  text,
    gateway_name  text,
    constraint gatewaynames_pk primary key (id, crm_id)
);
create index gateways_crm on ui_54407332_clients.gateways (crm_id);

create table ui_54407332_clients.steps (
    app_step_id  integer not null,
    crm_id       integer not null,
    step         integer not null,
    mid_id       integer,
    mid_number   text,
    gateway_id   integer,
    scv_level    text,
    constraint steps_pk primary key (app_step_id, crm_id)
);
-- The cap models join on (crm_id, mid_id, step); the MID number lookups select by
-- (mid_id, step) and by (gateway_id, crm_id).
create index steps_crm_mid_step on ui_54407332_clients.steps (crm_id, mid_id, step);
create index steps_mid_step on ui_54407332_clients.steps (mid_id, step);
create index steps_gateway_crm on ui_54407332_clients.steps (gateway_id, crm_id);

-- Orders ----------------------------------------------------------------------------------

create table crm_global.orders (
    order_id        bigint    not null,
    crm_id          integer   not null,
    gateway_id      integer,
    order_total     numeric(12, 2) not null default 0,
    time_stamp      timestamp not null,
    decline_reason  text,
    -- The cascade report looks up each retried order of the month by its key for its
    -- gateway and amount: carried in the key's index, the lookups read no table pages.
    -- About a third more key index (at 10M orders 386 MB instead of 300 MB), and none
    -- of a second index on the same columns.
    constraint orders_pk primary key (order_id, crm_id) include (gateway_id, order_total)
) with (
    -- Orders are only inserted: vacuum them after every 0.2 per cent of new rows (at 10M orders
    -- 30,000, about three hours of them) instead of the default 20 per cent, so that the day's
    -- orders are in the visibility map and the cap reports' index-only scans read no
    -- table pages for them (unvacuumed, a day's orders made today's report 38 per cent slower);
    -- analyse after every 2 per cent so that the statistics know the newest days.
    autovacuum_vacuum_insert_scale_factor = 0.002,
    autovacuum_vacuum_insert_threshold = 10000,
    autovacuum_analyze_scale_factor = 0.02
);
-- The cap reports with a date sum approved orders of one CRM from a time on, per
-- gateway: an index-only scan of the window (at 10M orders 416 MB).
create index orders_approved_crm_time on crm_global.orders (crm_id, time_stamp)
    include (gateway_id, order_total) where decline_reason is null;
-- The all-time cap report sums every approved order of the CRM per gateway: read in
-- gateway order from this index, a group aggregate over a quarter of the pages a scan of
-- the table reads (at 10M orders 265 MB of index).
create index orders_approved_crm_gateway on crm_global.orders (crm_id, gateway_id)
    include (order_total) where decline_reason is null;

-- Caps ------------------------------------------------------------------------------------
-- The counter update changes every processor's row of a MID and step in one statement and
-- finds them through a bitmap scan, which locks them in the order they lie in the table.
-- On full pages a counted row's new version moves to another page, so two concurrent
-- updates can lock the rows of a hot MID and step in opposite orders and deadlock (each
-- deadlock stalls its MID for the server's deadlock_timeout). Four fifths of each page are
-- kept free (fillfactor 20) so that new versions stay on their page (HOT updates) even
-- while eight backends count on it: 0 deadlocks in 120 s at eight threads, against 111 at
-- fillfactor 50. It costs five times the pages: 3.6 MB instead of 0.7 MB for 10,000 rows.
create table processing.cap (
    mid_id       integer not null,
    step         integer not null,
    processor    text    not null,
    gateway_id   integer,
    alert_level  integer not null default 0,
    dtc_cap      integer,
    lptc_cap     integer,
    used_dtc     integer not null default 0,
    used_lptc    integer not null default 0,
    constraint cap_pk primary key (mid_id, step, processor)

) with (fillfactor = 20);

create table processing.cap_cc_type (
    mid_id       integer not null,
    step         integer not null,
    processor    text    not null,
    cc_type      text    not null,
    gateway_id   integer,
    alert_level  integer not null default 0,
    dtc_cap      integer,
    used_dtc     integer not null default 0,
    constraint cap_cc_type_pk primary key (mid_id, step, processor, cc_type)

) with (fillfactor = 20);

create table processing.trailing_cap (
    mid_id         integer not null,
    step           integer not null,
    processor      text    not null,
    gateway_id     integer,
    trailing_days  integer not null default 30,
    trailing_cap   numeric(14, 2),
    constraint trailing_cap_pk primary key (mid_id, step, processor)

) with (fillfactor = 20);

-- Cascades --------------------------------------------------------------------------------

create table processing.processing_actions (
    action_id            bigserial primary key,
    order_id             bigint    not null,
    crm_id               integer   not null,
    is_dead_mid_cascade  boolean   not null default false,
    action               text,
    time_stamp           timestamp not null default now()
) with (
    -- Inserted like the orders; its index below is read index-only once vacuumed.
    autovacuum_vacuum_insert_scale_factor = 0.002,
    autovacuum_vacuum_insert_threshold = 10000,
    autovacuum_analyze_scale_factor = 0.02
);
-- The cascade report reads one CRM's dead-MID actions of all time, in order of order_id.
create index processing_actions_dead_mid on processing.processing_actions (crm_id, order_id)
    where is_dead_mid_cascade;

create table augmented_data.order_cycles (
    order_id        bigint    not null,
    parent_id       bigint,
    crm_id          integer   not null,
    cycle           integer   not null default 0,
    decline_reason  text,
    time_stamp      timestamp not null,
    constraint order_cycles_pk primary key (order_id, crm_id)
) with (
    -- Inserted like the orders, and vacuumed and analysed as often, for the same reason.
    -- Read serially: in parallel, every worker of the cascade report built the same hash
    -- of the CRM's dead-MID actions of all time, three times the work for nothing.
    parallel_workers = 0,
    autovacuum_vacuum_insert_scale_factor = 0.002,
    autovacuum_vacuum_insert_threshold = 10000,
    autovacuum_analyze_scale_factor = 0.02
);
-- The cascade report takes one CRM's approved cycles of this month that have a parent
-- (its join on parent_id needs one), then their parents' actions. Only retries are in
-- this index: a twentieth of the cycles where every approved one was (at 10M orders with
-- 5 per cent retries 21 MB instead of 416 MB), and the month's scan reads that much less.
create index order_cycles_approved_retries on augmented_data.order_cycles (crm_id, time_stamp)
    include (parent_id, order_id) where decline_reason is null and parent_id is not null;

-- Roles -----------------------------------------------------------------------------------
-- Each side with only the rights it needs. Group roles, without login: a host grants them
-- to the users its objects connect as (docs/operating.md).
--   gateways_reporting    every method that only reads: the cap reports, cap_limits,
--                         get_exploded, the names, steps and cap models
--   gateways_counting     CapReport.increment_transaction_counts: the two counters of
--                         processing.cap, and the columns its update reads
--   gateways_configuring  GatewaySettings.disable: the enabled flag of gateway_settings,
--                         and the columns its update reads
-- Roles belong to the server, not to a database: they are made once and kept.
do $$
begin
    if not exists (select from pg_roles where rolname = 'gateways_reporting') then
        create role gateways_reporting nologin;
    end if;
    if not exists (select from pg_roles where rolname = 'gateways_counting') then
        create role gateways_counting nologin;
    end if;
    if not exists (select from pg_roles where rolname = 'gateways_configuring') then
        create role gateways_configuring nologin;
    end if;
end
$$;

grant usage on schema ui_54407332_clients, crm_global, processing, augmented_data to gateways_reporting;
grant select on all tables in schema ui_54407332_clients, crm_global, processing, augmented_data
    to gateways_reporting;

grant usage on schema processing to gateways_counting;
grant select (mid_id, step, used_dtc, used_lptc), update (used_dtc, used_lptc) on processing.cap
    to gateways_counting;

grant usage on schema ui_54407332_clients to gateways_configuring;
grant select (gateway_id, crm_id, enabled), update (enabled) on ui_54407332_clients.gateway_settings
    to gateways_configuring;
