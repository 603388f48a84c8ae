"""Text from a client made safe for the stand-in's log, which tools/run.sh echoes to a terminal."""


def escaped(text):
    """text with every character that is not printable (controls, line breaks, bidirectional
    marks) and the backslash written as a Python escape, so a client can neither move the
    terminal's cursor nor forge a line of the log."""
    return "".join(c if c.isprintable() and c != "\\" else c.encode("unicode_escape").decode()
                   for c in str(text))
