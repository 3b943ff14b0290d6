"""The README's usage example runs as written, against the test database."""

import contextlib
import io
import re

from conftest import HOST

README = HOST.parent / "README.md"


def test_usage_example_runs(db, database_url):
    text = README.read_text()
    block = re.search(r"## Usage\n.*?```python\n(.*?)```", text, re.S).group(1)
    block = re.sub(r'Database\("[^"]*"\)', f"Database({database_url!r})", block)
    expected = re.findall(r"^# (.*)$", block, re.M)
    output = io.StringIO()
    with contextlib.redirect_stdout(output):
        exec(compile(block, "README.md", "exec"), {})
    assert output.getvalue().splitlines() == expected
