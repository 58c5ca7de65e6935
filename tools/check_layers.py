#!/usr/bin/env python3
"""Checks that every quoted #include in src/ runs down the layers: a file
may include its own layer and those below it. The platform implementations
(posix/, win32/, the fake) sit beside the platform interface: they see the
interface, common/ and text, and their private headers are theirs alone.
Each include is resolved to its file as the compiler would (against the
including file's folder, then against src/), so "../pieces/x.h" counts.
The operations (src/pieces) reach files and folders only through path/:
a call of a platform:: function there, or a platform::Folder, is refused;
only the value types below may be built there.

    tools/check_layers.py [SRC]            one line per include that runs up
    tools/check_layers.py --graph [SRC]    each layer and the layers it includes
    tools/check_layers.py --self-test      plants bad includes in a copy of src/

Exit status 1 when any include runs up or resolves to no file of src/."""
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

# From the bottom; the implementations rank with the interface.
ORDER = ["text", "platform", "path", "app", "pieces", "entry"]
IMPLEMENTATIONS = {"posix": "platform", "win32": "platform", "fake": "platform"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
# A platform:: name called or built, or the folder handle named at all.
PLATFORM_CALL = re.compile(r'\bplatform::(\w+)\s*[({]|\bplatform::(Folder)\b')
VALUE_TYPES = {"DirEntry", "Failure", "FileIdentity", "OpenedFiles", "Sha256"}


def layer_of(rel):
    """The layer of a file given by its path under src/, or None."""
    parts = rel.parts
    if len(parts) < 2:
        return None
    if parts[0] == "platform":
        if parts[1] in ("posix", "win32"):
            return parts[1]
        if parts[1].startswith("platform_fake."):
            return "fake"
    return parts[0] if parts[0] in ORDER else None


def rank(layer):
    return ORDER.index(IMPLEMENTATIONS.get(layer, layer))


def allowed(including, included):
    if included in IMPLEMENTATIONS:
        return including == included
    return rank(included) <= rank(including)


def resolve(src, folder, name):
    for base in (folder, src):
        candidate = (base / name).resolve()
        if candidate.is_file():
            return candidate
    return None


def scan(src):
    """Answers the violations (lines to print) and the graph's edges."""
    src = src.resolve()
    problems, edges = [], {}
    for path in sorted(p for p in src.rglob("*") if p.suffix in (".cpp", ".h")):
        rel = path.relative_to(src)
        shown = pathlib.PurePosixPath("src", *rel.parts)
        layer = layer_of(rel)
        if layer is None:
            problems.append(f"{shown}: in no layer")
            continue
        edges.setdefault(layer, set())
        lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
        for number, line in enumerate(lines, 1):
            code = line.split("//", 1)[0]
            for call in PLATFORM_CALL.finditer(code) if layer == "pieces" else ():
                name = call.group(1) or call.group(2)
                if name not in VALUE_TYPES:
                    problems.append(f"{layer}: {shown}:{number} calls platform::{name}")
            match = INCLUDE.match(line)
            if not match:
                continue
            target = resolve(src, path.parent, match.group(1))
            if target is None or not target.is_relative_to(src):
                problems.append(f"{layer}: {shown}:{number} includes {match.group(1)}, not a file of src/")
                continue
            target_rel = target.relative_to(src)
            target_layer = layer_of(target_rel)
            if target_layer is None or not allowed(layer, target_layer):
                problems.append(f"{layer}: {shown}:{number} includes {target_rel.as_posix()}")
            if target_layer is not None and target_layer != layer:
                edges[layer].add(target_layer)
    return problems, edges


def print_graph(edges):
    order = ORDER[:2] + list(IMPLEMENTATIONS) + ORDER[2:]
    for layer in reversed(order):
        if layer in edges:
            below = sorted(edges[layer], key=lambda name: (rank(name), name), reverse=True)
            print(f"{layer:9} -> {' '.join(below) or '(nothing)'}")


def self_test():
    """Plants one include of each kind that must fail in a copy of src/ and
    expects exactly their lines."""
    plants = [  # file under src/, include, expected line (None: allowed)
        ("path/place.cpp", "../pieces/divide.h", "path: src/path/place.cpp:{} includes pieces/divide.h"),
        ("app/output.cpp", "pieces/join.h", "app: src/app/output.cpp:{} includes pieces/join.h"),
        ("pieces/join.cpp", "platform/posix/posix.h", "pieces: src/pieces/join.cpp:{} includes platform/posix/posix.h"),
        ("platform/posix/heap.cpp", "path/place.h", "posix: src/platform/posix/heap.cpp:{} includes path/place.h"),
        ("platform/win32/heap.cpp", "../posix/posix.h", "win32: src/platform/win32/heap.cpp:{} includes platform/posix/posix.h"),
        ("platform/platform.h", "platform_fake.h", "platform: src/platform/platform.h:{} includes platform/platform_fake.h"),
        ("text/texts.h", "nowhere.h", "text: src/text/texts.h:{} includes nowhere.h, not a file of src/"),
        ("entry/entry.cpp", "../text/texts.h", None),
        ("pieces/divide.cpp", "x = platform::RemoveFile(f, e);", "pieces: src/pieces/divide.cpp:{} calls platform::RemoveFile"),
        ("pieces/join.cpp", "const platform::Folder& f = p;", "pieces: src/pieces/join.cpp:{} calls platform::Folder"),
        ("pieces/join.cpp", "platform::Failure failure{};", None),
        ("path/place.cpp", "x = platform::RemoveFile(f, e);", None),
        ("platform/posix/heap.cpp", "../common/path_text.h", None),
    ]
    here = pathlib.Path(__file__).resolve().parent.parent / "src"
    with tempfile.TemporaryDirectory() as scratch:
        src = pathlib.Path(scratch) / "src"
        shutil.copytree(here, src)
        expected = []
        for name, include, line in plants:
            with open(src / name, "a", encoding="utf-8") as f:
                f.write(f'#include "{include}"\n' if include.endswith(".h") else include + "\n")
            if line is not None:
                expected.append(line.format(len((src / name).read_text(encoding="utf-8").splitlines())))
        run = subprocess.run([sys.executable, __file__, str(src)], capture_output=True, text=True)
    if run.returncode == 1 and sorted(run.stdout.splitlines()) == sorted(expected):
        return 0
    print(f"self-test failed (exit {run.returncode}); expected:\n" + "\n".join(expected) + "\ngot:\n" + run.stdout)
    return 1


def main(args):
    if args == ["--self-test"]:
        return self_test()
    graph = "--graph" in args
    rest = [a for a in args if a != "--graph"]
    src = pathlib.Path(rest[0]) if rest else pathlib.Path(__file__).resolve().parent.parent / "src"
    problems, edges = scan(src)
    if graph:
        print_graph(edges)
    for line in problems:
        print(line)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
