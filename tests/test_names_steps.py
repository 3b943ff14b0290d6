"""GatewayNames and GatewaySteps: corporation list, list synchronisation, step numbers, CVV rule, MID numbers."""

import pandas
import pytest
from conftest import insert, sent
from recording import Host, Result

import gateways

GN, GST = gateways.GatewayNames, gateways.GatewaySteps
CANDIDATES = list(range(1, 1000))


def names_host(**kwargs):
    return Host(schema="ui_54407332_clients", table="gateways", **kwargs)


def steps_host(**kwargs):
    return Host(schema="ui_54407332_clients", table="steps", **kwargs)


# -- gateway_corp_list ---------------------------------------------------------------


class TestCorpList:
    @pytest.mark.parametrize("extra", [(), (False,), (None,), (0,), ("",)])
    def test_every_crm(self, extra):
        host = names_host(frame=pandas.DataFrame({"id": [4], "gateway_corp": ["Acme"]}))
        frame = GN.gateway_corp_list(host, *extra)
        assert host.gets == [((), {"columns": ["id", "gateway_corp"], "where": ""})]
        assert list(frame.columns) == ["gateway_id", "gateway_corp"] and frame.gateway_id.tolist() == [4]

    @pytest.mark.parametrize("crm_id", [17, "17"])
    def test_one_crm_unquoted(self, crm_id):
        host = names_host()
        GN.gateway_corp_list(host, crm_id=crm_id)
        assert host.gets[0][1]["where"] == " WHERE crm_id = 17 "


# -- update_lists --------------------------------------------------------------------------


class TestUpdateListsRecorded:
    def test_statements_and_lists(self):
        host = names_host(results=[Result([(5,), (1500,), (5,), ("7",)]), Result([(5,), (3,), (3,)])])
        lists = GN.update_lists(host, 8)
        assert sent(host) == [
            "select id from ui_54407332_clients.gateways where crm_id = '8'",
            "select gateway_id from ui_54407332_clients.gateway_settings where crm_id = '8'",
        ]
        assert list(lists) == ["gt_list", "gateways_up", "gateway_set_up", "gateways_ins", "gateway_set_ins"]
        assert lists["gt_list"] == CANDIDATES
        assert lists["gateways_up"] == [5, 1500, 5, "7"] and lists["gateway_set_up"] == [5, 3, 3]
        # '7' is a text: it matches no candidate, and is not an integer to sort among them
        assert lists["gateways_ins"] == [i for i in CANDIDATES if i != 5]
        assert lists["gateway_set_ins"][:-1] == [i for i in CANDIDATES if i not in (3, 5)] + [1500]
        assert lists["gateway_set_ins"][-1] == "7"

    def test_first_result_read_before_the_second_statement(self):
        sent = []

        class Rows:
            def __iter__(self):
                yield (1,)
                sent.append("first read")

        class Engine:
            def execute(self, sql):
                sent.append(sql.split()[1])
                return Rows() if len(sent) == 1 else Result()

        host = names_host()
        host.engine = Engine()
        GN.update_lists(host, 1)
        assert sent == ["id", "first read", "gateway_id"]

    def test_value_equality(self):
        host = names_host(results=[Result([(2.0,), (True,)]), Result([(2,)])])
        lists = GN.update_lists(host, 1)
        assert 1 not in lists["gateways_ins"] and 2 not in lists["gateways_ins"]
        assert len(lists["gateway_set_ins"]) == 998 and 2 not in lists["gateway_set_ins"]

    def test_lists_are_new(self):
        first = GN.update_lists(names_host(), 1)
        second = GN.update_lists(names_host(), 1)
        assert first["gt_list"] is not second["gt_list"] and first == second
        assert len({id(v) for v in first.values()}) == 5


# -- steps: recorded -----------------------------------------------------------------------


class TestStepsRecorded:
    def test_next_app_step_id(self):
        host = steps_host(results=[Result(scalar=41)])
        assert GST.next_app_step_id(host) == 42
        assert sent(host) == ["Select max(app_step_id)::int from ui_54407332_clients.steps"]

    def test_next_app_step_id_of_an_empty_table_is_one(self):
        assert GST.next_app_step_id(steps_host(results=[Result(scalar=None)])) == 1

    @pytest.mark.parametrize("crm_id", [17, "17"])
    @pytest.mark.parametrize("columns", [None, ["step", "mid_id"], "step, mid_id"])
    def test_no_cvv_required(self, crm_id, columns):
        host = steps_host()
        args = () if columns is None else (columns,)
        assert GST.get_no_cvv_required(host, crm_id, *args) is host.frame
        expected = False if columns is None else columns
        (((passed,), kwargs),) = host.gets
        assert passed is expected
        assert kwargs == {"where": " where scv_level= 'not required' and crm_id='17'"}

    def test_mid_numbers_by_mid_id(self):
        host = steps_host(frame=pandas.DataFrame({"crm_id": [1, 1, 2], "mid_number": ["A", "A", "B"]}))
        assert GST.get_mid_numbers_by_mid_id(host, "12", 2.0) == [
            {"crm_id": 1, "mid_number": "A"},
            {"crm_id": 2, "mid_number": "B"},
        ]
        assert host.gets == [((["crm_id", "mid_number"],), {"where": " where mid_id=12 and step=2"})]

    def test_mid_numbers_by_gateway_id(self):
        host = steps_host(frame=pandas.DataFrame({"mid_number": [None, "M2", "M3"]}))
        assert GST.get_mid_numbers_by_gateway_id(host, "5", 7) == "M2"
        assert host.gets == [((["mid_number"],), {"where": " where gateway_id=5 and crm_id = '7' "})]


# -- end to end ------------------------------------------------------------------------------


@pytest.fixture
def configured(db):
    insert(
        db,
        "ui_54407332_clients.gateways",
        [
            dict(id=1, crm_id=1, gateway_corp="Acme"),
            dict(id=2, crm_id=1, gateway_corp="Acme"),
            dict(id=1500, crm_id=1, gateway_corp="Beta"),
            dict(id=9, crm_id=2, gateway_corp="Gamma"),
        ],
    )
    insert(
        db,
        "ui_54407332_clients.gateway_settings",
        [dict(gateway_id=2, crm_id=1), dict(gateway_id=3, crm_id=1), dict(gateway_id=9, crm_id=2)],
    )
    insert(
        db,
        "ui_54407332_clients.steps",
        [
            dict(app_step_id=1, crm_id=1, step=1, mid_id=12, mid_number="M-1", gateway_id=5, scv_level="not required"),
            dict(app_step_id=2, crm_id=1, step=2, mid_id=12, mid_number="M-1", gateway_id=5, scv_level="required"),
            dict(app_step_id=3, crm_id=2, step=2, mid_id=12, mid_number="M-1", gateway_id=6, scv_level="Not Required"),
            dict(app_step_id=4, crm_id=1, step=2, mid_id=12, mid_number="M-1", gateway_id=5, scv_level="not  required"),
            dict(app_step_id=41, crm_id=2, step=2, mid_id=12, mid_number=None, gateway_id=6, scv_level="not required"),
            dict(app_step_id=5, crm_id=3, step=2, mid_id=12, mid_number="M-9", gateway_id=7, scv_level=None),
            dict(app_step_id=6, crm_id=1, step=3, mid_id=13, mid_number=None, gateway_id=8, scv_level=None),
            dict(app_step_id=7, crm_id=1, step=3, mid_id=13, mid_number="M-13", gateway_id=8, scv_level=None),
            dict(app_step_id=8, crm_id=1, step=4, mid_id=13, mid_number="M-14", gateway_id=8, scv_level=None),
        ],
    )
    return db


class TestNamesEndToEnd:
    def test_corp_list(self, configured):
        frame = GN(configured).gateway_corp_list()
        assert list(frame.columns) == ["gateway_id", "gateway_corp"]
        assert sorted(frame.gateway_id) == [1, 2, 9, 1500]
        assert sorted(GN(configured).gateway_corp_list("1").gateway_id) == [1, 2, 1500]
        assert GN(configured).gateway_corp_list(4).empty

    def test_update_lists(self, configured):
        lists = GN(configured).update_lists(1)
        assert sorted(lists["gateways_up"]) == [1, 2, 1500] and sorted(lists["gateway_set_up"]) == [2, 3]
        assert lists["gateways_ins"] == list(range(3, 1000))
        assert lists["gateway_set_ins"] == [1, *list(range(4, 1000)), 1500]
        assert 1000 not in lists["gt_list"] and lists["gt_list"][-1] == 999

    def test_update_lists_of_an_unknown_crm(self, configured):
        lists = GN(configured).update_lists("77")
        assert lists["gateways_up"] == lists["gateway_set_up"] == []
        assert lists["gateways_ins"] == lists["gateway_set_ins"] == CANDIDATES

    def test_every_candidate_present(self, db):
        insert(db, "ui_54407332_clients.gateways", [dict(id=i, crm_id=5) for i in CANDIDATES])
        assert GN(db).update_lists(5)["gateways_ins"] == []


class TestStepsEndToEnd:
    def test_next_app_step_id_across_crms(self, configured):
        assert GST(configured).next_app_step_id() == 42

    def test_next_app_step_id_on_an_empty_table(self, db):
        assert GST(db).next_app_step_id() == 1

    def test_no_cvv_required_matches_exactly(self, configured):
        frame = GST(configured).get_no_cvv_required(1)
        assert frame.app_step_id.tolist() == [1]
        assert GST(configured).get_no_cvv_required("2", ["app_step_id", "mid_id"]).values.tolist() == [[41, 12]]

    def test_mid_numbers_by_mid_id(self, configured):
        records = GST(configured).get_mid_numbers_by_mid_id("12", 2.0)
        assert records == [
            {"crm_id": 1, "mid_number": "M-1"},
            {"crm_id": 2, "mid_number": "M-1"},
            {"crm_id": 2, "mid_number": None},
            {"crm_id": 3, "mid_number": "M-9"},
        ]
        assert GST(configured).get_mid_numbers_by_mid_id(99, 1) is None

    def test_mid_numbers_by_gateway_id(self, configured):
        assert GST(configured).get_mid_numbers_by_gateway_id(8, 1) == "M-13"
        assert GST(configured).get_mid_numbers_by_gateway_id("6", "2") == "M-1"
        assert GST(configured).get_mid_numbers_by_gateway_id(5, 2) is None

    def test_only_null_mid_numbers(self, configured):
        insert(configured, "ui_54407332_clients.steps", [dict(app_step_id=50, crm_id=4, step=1, gateway_id=11)])
        assert GST(configured).get_mid_numbers_by_gateway_id(11, 4) is None
