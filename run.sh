#!/usr/bin/env bash
# Builds divro (installing the compilers on a fresh Debian machine) and runs
# it with the given arguments:  ./run.sh FILE /1440 [DEST]
# The first run says that it builds, and where; once built, nothing is added
# to the program's own output.
set -euo pipefail
DIVRO_ROOT="$(cd "$(dirname "$0")" && pwd)"
BUILD="$DIVRO_ROOT/build-release"
cd "$DIVRO_ROOT"
source tools/deps.sh
need_packages cmake ninja-build g++ libssl-dev >&2
if [ ! -f "$BUILD/build.ninja" ] || ! ninja -C "$BUILD" -n divro | grep -q '^ninja: no work to do'; then
  echo "run.sh: building divro in $BUILD ..." >&2
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  { cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDIVRO_BUILD_TESTS=OFF &&
    cmake --build "$BUILD" --target divro; } >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
  rm -f "$log"
  trap - EXIT
fi
cd "$OLDPWD"
exec "$BUILD/divro" "$@"
