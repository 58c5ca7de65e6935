#!/usr/bin/env bash
# Runs the Windows end-to-end tests: divro.exe under Wine with code page 932.
# DIVRO_EXE overrides the program, DIVRO_WINE the Wine loader.
set -uo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
export DIVRO_EXE="${DIVRO_EXE:-$HERE/../../build-win/divro.exe}"
export DIVRO_WINE="${DIVRO_WINE:-$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)}"
export LC_ALL=ja_JP.UTF-8 WINEDEBUG="${WINEDEBUG:--all}"
fail() { echo "wine end-to-end tests: $*" >&2; exit 1; }
[ -f "$DIVRO_EXE" ] || fail "no program at $DIVRO_EXE"
command -v "$DIVRO_WINE" >/dev/null || fail "no Wine loader at $DIVRO_WINE"
command -v tmux >/dev/null || fail "tmux is not installed"
locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$' || fail "the ja_JP.UTF-8 locale is not generated"
cd "$HERE" && timeout 900 python3 -m unittest -v test_wine test_wine_cross 2>&1
