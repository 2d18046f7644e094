"""What the Wine end-to-end tests share besides the rig: their checks.
A failed check raises AssertionError with a message that says what was
expected and what came; long texts are shortened to their ends.
"""


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def check_equal(actual, expected, what):
    if actual != expected:
        raise AssertionError("%s: expected %r, got %r" % (what, shorten(expected), shorten(actual)))


def shorten(value):
    if isinstance(value, str) and len(value) > 300:
        return value[:150] + "...(%d units)..." % len(value) + value[-150:]
    return value
