"""The program's texts for the tests that run it whole, read from the one
table they are generated from (tools/gen_texts.py), by name."""
import importlib.util
import os

_SPEC = importlib.util.spec_from_file_location(
    "gen_texts", os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "gen_texts.py"))
_TABLE = importlib.util.module_from_spec(_SPEC)
_SPEC.loader.exec_module(_TABLE)

# Name: the Japanese text.
TEXT = {row[0]: row[1] for row in _TABLE.TEXTS}

DONE = TEXT["DivideFinished"]
NOT_DIVIDED = TEXT["NotDivided"]
JOINED = TEXT["JoinFinished"]
NOT_JOINED = TEXT["NotJoined"]
