"""Replays the README's Linux Quick start with the divro on PATH, on a pty,
typing the keys it shows, in a folder standing for its /tmp/demo with a
2.5 MiB data/movie.avi. Every line it shows must appear. Run from the top
of the sources: python3 tests/install/quick_start.py README.md"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", ".."))
os.environ["DIVRO_BIN"] = shutil.which("divro") or sys.exit("divro is not on PATH")
from tests.e2e import helpers  # noqa: E402  (reads DIVRO_BIN)

readme = open(sys.argv[1], encoding="utf-8").read()
section = readme.split("\n## Quick start\n", 1)[1]
block = re.search(r"\n\n((?:    .*\n)+)", section).group(1)
session = [line[4:] for line in block.splitlines()]

demo = tempfile.mkdtemp()
helpers.random_file(os.path.join(demo, "data", "movie.avi"), 2621440)
failures = 0
steps = []  # (command, the lines it shows)
for line in session:
    if line.startswith("$ "):
        steps.append((line[2:], []))
    else:
        steps[-1][1].append(line.replace("/tmp/demo", demo))
for command, shown in steps:
    if command.startswith("divro "):
        pty = helpers.Pty(shlex.split(command)[1:], demo)
        for line in shown:
            question = re.fullmatch(r"(.*\])([a-z])", line)
            if question:
                pty.question(question.group(1))
                pty.send(question.group(2).encode())
        rc, text, _ = pty.finish()
        output = re.split(r"[\r\n]", text)
        missing = [re.sub(r"\][a-z]$", "]", line) for line in shown]
        missing = [line for line in missing if not any(line in o for o in output)]
    else:
        text = subprocess.run(command, shell=True, cwd=demo, capture_output=True, text=True).stdout
        missing = [] if text.splitlines() == shown else shown
    if missing:
        print(f"FAIL: README Quick start: '{command}' did not show {missing}:\n{text}")
        failures += 1
shutil.rmtree(demo)
sys.exit(1 if failures else 0)
