#!/usr/bin/env bash
# Builds divro (installing the compilers on a fresh Debian machine) and runs
# it with the given arguments:  ./run.sh FILE /1440 [DEST]
set -euo pipefail
DIVRO_ROOT="$(cd "$(dirname "$0")" && pwd)"
cd "$DIVRO_ROOT"
source tools/deps.sh
need_packages cmake ninja-build g++ >&2
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DDIVRO_BUILD_TESTS=OFF >/dev/null
cmake --build build-release --target divro >/dev/null
cd "$OLDPWD"
exec "$DIVRO_ROOT/build-release/divro" "$@"
