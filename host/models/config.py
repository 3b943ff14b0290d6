"""Host configuration: the only setting ``gateways`` reads is ``timeOffset``."""

import os

_VARIABLE = "GATEWAYS_TIME_OFFSET"


def _hours(text):
    """A number of hours: an int when the text is whole, a float otherwise."""
    try:
        return int(text)
    except ValueError:
        pass
    try:
        return float(text)
    except ValueError:
        raise ValueError(f"{_VARIABLE} must be a number of hours, not {text!r}") from None


#: Hours between the host's clock and the business day; the daily cap report
#: subtracts it from the current time before taking the date.
timeOffset = _hours(os.environ.get(_VARIABLE, "0").strip() or "0")
