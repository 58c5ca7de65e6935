"""Scenarios that two harnesses run from one list: the native build on a pty
(tests/e2e) and divro.exe under Wine (tests/wine). Every row runs natively;
Wine runs the rows marked for Windows, where its code differs."""

FAILED = 255  # exit status -1

# A division under a locale that writes 1,5: the size option, and whether
# Windows reads it (its own locale functions). Each gives pieces of 1536 bytes.
DECIMAL_COMMA_SIZES = [("/1.5", True), ("/1,5", True), ("/0,15e1", False)]
DECIMAL_COMMA_PIECE = 1536

# The question before a missing destination folder is made: keys that answer
# nothing ("\r" is Enter), the key that answers, the exit status, and whether
# Windows (its console input) runs the row.
DESTINATION_ANSWERS = [("s", "Y", 0, False), ("a", "n", FAILED, False), ("\r", "y", 0, False),
                       ("as\r", "n", FAILED, True), ("as\r", "Y", 0, True)]

# A join whose output name reaches one of the three pieces m.avi.001..003:
# how that name is made, the piece it reaches, and whether Windows runs it.
# "hard": a hard link to the piece; "symbolic": a symbolic link to it;
# "moved": the piece moved to the output's name, a link left in its place.
OUTPUT_IS_A_PIECE = [("hard", 1, False), ("hard", 3, True), ("symbolic", 1, False),
                     ("symbolic", 3, False), ("moved", 1, False), ("moved", 3, False)]
OUTPUT_IS_A_PIECE_SIZES = (100, 200, 300)


def windows_rows(rows):
    """The rows Wine runs, without their Windows mark."""
    return [row[:-1] for row in rows if row[-1]]


def native_rows(rows):
    """Every row, without its Windows mark."""
    return [row[:-1] for row in rows]
