#!/usr/bin/env bash
# Install, manual pages and packages: builds into build-install/, installs
# into a temporary prefix and runs the installed program, renders both
# manual pages with warnings on, builds the Debian package and checks what it
# holds; with MinGW-w64 present, also the Windows zip (build-install-win/).
# Exit status 0 only when every check ran and passed.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/tools/deps.sh"
BUILD="$ROOT/build-install"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

failures=0
skipped=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
skip() { echo "!!!!!!!!!!!!!!!!!!! SKIPPED: $*"; skipped=$((skipped + 1)); }

# The program without a controlling terminal, so that a question can never
# wait for a key, whoever runs this script.
divro() { timeout 60 setsid -w "$PREFIX/bin/divro" "$@" </dev/null; }

# --- build and install -------------------------------------------------------
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDIVRO_BUILD_TESTS=OFF \
  >/dev/null && cmake --build "$BUILD" >/dev/null || { echo "FAIL: build"; exit 1; }
PREFIX="$WORK/prefix"
cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null || fail "cmake --install"
for f in bin/divro share/man/man1/divro.1.gz share/man/ja/man1/divro.1.gz; do
  [ -f "$PREFIX/$f" ] || fail "installed tree lacks $f"
done

# --- the installed program ---------------------------------------------------
out=$(LC_ALL=C.UTF-8 divro)
rc=$?
[ $rc -eq 0 ] && grep -q '^DIVRO \[/C\] \[/S\] \[/Y\]' <<<"$out" && ok "usage screen, exit 0" ||
  fail "usage screen (exit $rc): $out"

mkdir -p "$WORK/run/joined" && cd "$WORK/run" || exit 1
head -c 250000 /dev/urandom >data.bin
out=$(LC_ALL=C.UTF-8 divro data.bin /100)  # 102400-byte pieces
rc=$?
sizes=$(stat -c %s data.bin.001 data.bin.002 data.bin.003 2>/dev/null | tr '\n' ' ')
if [ $rc -eq 0 ] && [ "$sizes" = "102400 102400 45200 " ] && [ ! -e data.bin.004 ] &&
  grep -q 'ファイルの分割が終了しました。' <<<"$out"; then
  ok "divide into three pieces"
else
  fail "divide (exit $rc, sizes '$sizes'): $out"
fi
out=$(LC_ALL=C.UTF-8 divro data.bin.001 joined)
rc=$?
[ $rc -eq 0 ] && cmp -s data.bin joined/data.bin && ok "join restores the file" ||
  fail "join (exit $rc): $out"
out=$(LC_ALL=C.UTF-8 divro missing.bin /100)
rc=$?
[ $rc -eq 255 ] && grep -q '指定されたファイルが見つかりません。' <<<"$out" &&
  ok "a failure exits 255" || fail "failure exit status $rc: $out"
cd "$ROOT" || exit 1

# --- manual pages ------------------------------------------------------------
if need_packages man-db groff-base && command -v man >/dev/null; then
  for page in man/divro.1 man/ja/divro.1 "$PREFIX/share/man/man1/divro.1.gz" \
    "$PREFIX/share/man/ja/man1/divro.1.gz"; do
    for width in 60 80 120; do
      text=$(LC_ALL=C.UTF-8 MANWIDTH=$width man --warnings -l "$page" 2>"$WORK/man.err")
      rc=$?
      if [ $rc -ne 0 ] || [ -s "$WORK/man.err" ] || ! grep -q '18575' <<<"$text"; then
        fail "man --warnings -l $page at width $width (exit $rc):"
        head -5 "$WORK/man.err"
        continue 2
      fi
    done
    ok "manual page $page renders without warnings"
  done
else
  skip "manual page checks: man-db and groff-base are missing and cannot be installed"
fi

# --- the Debian package ------------------------------------------------------
rm -f "$BUILD"/divro_*.deb
if (cd "$BUILD" && cpack -G DEB >"$WORK/cpack.log" 2>&1); then
  deb=$(ls "$BUILD"/divro_*.deb)
  listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
  for f in ./usr/bin/divro ./usr/share/man/man1/divro.1.gz ./usr/share/man/ja/man1/divro.1.gz; do
    grep -qx -- "$f" <<<"$listing" || fail "package lacks $f"
  done
  [ "$(dpkg-deb -f "$deb" Section)" = utils ] || fail "package section"
  [ "$(dpkg-deb -f "$deb" Maintainer)" = "divro developers <dev@divro.invalid>" ] ||
    fail "package maintainer"
  grep -q libc6 <<<"$(dpkg-deb -f "$deb" Depends)" || fail "package depends"
  dpkg-deb -x "$deb" "$WORK/deb" && zcat "$WORK/deb/usr/share/man/ja/man1/divro.1.gz" |
    cmp -s - man/ja/divro.1 || fail "packaged Japanese page differs from man/ja/divro.1"
  ok "Debian package $(basename "$deb") checked"
else
  fail "cpack -G DEB"
  cat "$WORK/cpack.log"
fi

# --- the Windows zip ---------------------------------------------------------
if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v unzip >/dev/null; then
  WIN="$ROOT/build-install-win"
  if cmake -S "$ROOT" -B "$WIN" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDIVRO_BUILD_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null 2>&1 &&
    cmake --build "$WIN" >/dev/null && rm -f "$WIN"/divro-*.zip &&
    (cd "$WIN" && cpack -G ZIP >"$WORK/cpack-win.log" 2>&1); then
    zip=$(ls "$WIN"/divro-*-win64.zip)
    names=$(unzip -Z1 "$zip")
    for f in divro.exe README.md; do
      grep -qx "divro-[0-9.]*-win64/$f" <<<"$names" || fail "zip lacks $f (has: $names)"
    done
    ok "Windows zip $(basename "$zip") checked"
  else
    fail "Windows cross build or cpack -G ZIP"
  fi
else
  skip "Windows zip: MinGW-w64 or unzip is missing"
fi

echo "install and packages: $failures failed, $skipped skipped"
[ $failures -eq 0 ] && [ $skipped -eq 0 ]
