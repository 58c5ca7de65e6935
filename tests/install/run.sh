#!/usr/bin/env bash
# Install, manual pages and packages: builds into build-install/, installs
# into a temporary prefix and runs the installed program and the README's
# script, renders both manual pages with warnings on, builds the Debian
# package and the RPM and checks what they hold (lintian on the first); with
# MinGW-w64 present, the Windows zip (build-install-win/), its program run
# under Wine. As root, runs the README's install commands in a copy of the
# sources as a fresh clone has them, and ./run.sh's first and second run
# there.
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

# The one version, from the project; everything below must carry it.
VERSION=$(sed -n 's/^project(divro .*VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
[ -n "$VERSION" ] || { echo "FAIL: no project version in CMakeLists.txt"; exit 1; }

# --- build and install -------------------------------------------------------
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDIVRO_BUILD_TESTS=OFF \
  >/dev/null && cmake --build "$BUILD" >/dev/null || { echo "FAIL: build"; exit 1; }
# The release is built with the hardening flags that Debian's packages get
# (lintian below sees most of them in the binary, but not the stack
# protector); the compiler's built-in ones need no flag, and either level of
# fortification will do.
if command -v dpkg-buildflags >/dev/null; then
  commands=$(ninja -C "$BUILD" -t commands divro)
  for flag in $(for area in CPPFLAGS CXXFLAGS LDFLAGS; do
    DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get $area; done); do
    case $flag in
      -D_FORTIFY_SOURCE=*) flag=-D_FORTIFY_SOURCE= ;;
      -fstack-protector-strong | -Wl,-z,* | -Werror=format-security) flag="$flag " ;;
      *) continue ;;
    esac
    grep -qF -- " $flag" <<<"$commands" || fail "the release build lacks $flag"
  done
else
  skip "the release's hardening flags: dpkg-buildflags (dpkg-dev) is missing"
fi
PREFIX="$WORK/prefix"
cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null || fail "cmake --install"
for f in bin/divro share/man/man1/divro.1.gz share/man/ja/man1/divro.1.gz \
  share/doc/divro/copyright share/doc/divro/changelog.gz share/bash-completion/completions/divro; do
  [ -f "$PREFIX/$f" ] || fail "installed tree lacks $f"
done
COMPLETION="$PREFIX/share/bash-completion/completions/divro"
grep -qx "$COMPLETION" "$BUILD/install_manifest.txt" || fail "install_manifest.txt lacks $COMPLETION"

# --- the installed program ---------------------------------------------------
out=$(LC_ALL=C.UTF-8 divro)
rc=$?
[ $rc -eq 0 ] && grep -q '^DIVRO \[/C\] \[/S\] \[/Y\]' <<<"$out" && ok "usage screen, exit 0" ||
  fail "usage screen (exit $rc): $out"

out=$(divro --version)
[ $? -eq 0 ] && [ "$out" = "divro $VERSION" ] && ok "--version" || fail "--version: $out"

mkdir -p "$WORK/run/joined" && cd "$WORK/run" || exit 1
head -c 250000 /dev/urandom >data.bin
out=$(LC_ALL=ja_JP.UTF-8 divro data.bin /100)  # 102400-byte pieces
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
out=$(LC_ALL=ja_JP.UTF-8 divro missing.bin /100)
rc=$?
[ $rc -eq 255 ] && grep -q '指定されたファイルが見つかりません。' <<<"$out" &&
  ok "a failure exits 255" || fail "failure exit status $rc: $out"

# Memory short (an address space from too small to start the program up to
# enough): a division with /H and a checked join end with 0 or with the
# memory message and 255, never by a signal or with another reason. The
# program here has no sanitizer, which takes such a limit badly.
head -c 3000000 /dev/urandom >oom.bin
divro oom.bin /1024 /H >/dev/null && mkdir -p oom || fail "oom.bin not divided"
short=""
for kb in $(seq 9000 100 16000); do
  for args in "oom.bin /1024 /H /Y" "oom.bin.001 oom /Y"; do
    # shellcheck disable=SC2086
    out=$(ulimit -v "$kb" && LC_ALL=C.UTF-8 divro $args 2>/dev/null)
    rc=$?
    [ $rc -eq 0 ] || [ $rc -eq 127 ] || { [ $rc -eq 255 ] && grep -q 'Not enough memory\.$' <<<"$out"; } ||
      short="$short $kb KiB ($args: exit $rc)"
  done
done
[ -z "$short" ] && ok "short of memory: the memory message or success" ||
  fail "short of memory:$short"

# The README's script, as written, without a terminal: it divides into a
# new folder and joins back; without its file it sees divro's 255.
awk '/^## /{on = $0 == "## Scripts"} on && sub(/^    /, "")' "$ROOT/README.md" >script.sh
head -c 3000000 /dev/urandom >disk.img
readme_script() { PATH="$PREFIX/bin:$PATH" timeout 60 setsid -w sh script.sh </dev/null 2>&1; }
out=$(readme_script)
rc=$?
[ $rc -eq 0 ] && [ -f pieces/disk.img.003 ] && [ ! -e pieces/disk.img.004 ] &&
  [ "$out" = "disk.img: divided into pieces/ and checked" ] && ok "the README's script" ||
  fail "the README's script (exit $rc): $out"
rm disk.img
out=$(readme_script)
rc=$?
[ $rc -eq 1 ] && grep -qx 'disk.img: failed (exit status 255)' <<<"$out" &&
  ok "the README's script sees a failure" || fail "the README's script, no file (exit $rc): $out"
cd "$ROOT" || exit 1

# --- bash completion ---------------------------------------------------------
if need_packages bash-completion; then
  "$ROOT/tests/install/completion.sh" "$COMPLETION" && ok "bash completion offers options, files and folders" ||
    fail "bash completion"
else
  skip "bash completion: the bash-completion package is missing and cannot be installed"
fi

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
  for page in "$PREFIX"/share/man/{,ja/}man1/divro.1.gz; do
    zcat "$page" | grep -q "^\.TH DIVRO 1 .* \"divro $VERSION\"" || fail "$page: not version $VERSION"
  done
else
  skip "manual page checks: man-db and groff-base are missing and cannot be installed"
fi

# --- the Debian package ------------------------------------------------------
# The licence paragraph of the copyright file, as the text it was made from.
copyright_licence() { tac "$1" | sed '/^License: Expat$/q' | tac | tail -n +2 | sed 's/^ //; s/^\.$//'; }
rm -f "$BUILD"/divro_*.deb "$BUILD"/divro-*.rpm
if (cd "$BUILD" && cpack -G DEB >"$WORK/cpack.log" 2>&1); then
  deb=$(ls "$BUILD"/divro_*.deb)
  listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
  for f in ./usr/bin/divro ./usr/share/man/man1/divro.1.gz ./usr/share/man/ja/man1/divro.1.gz \
    ./usr/share/doc/divro/copyright ./usr/share/doc/divro/changelog.gz \
    ./usr/share/bash-completion/completions/divro; do
    grep -qx -- "$f" <<<"$listing" || fail "package lacks $f"
  done
  [ "$(dpkg-deb -f "$deb" Version)" = "$VERSION" ] || fail "package version"
  [ "$(dpkg-deb -f "$deb" Section)" = utils ] || fail "package section"
  [ "$(dpkg-deb -f "$deb" Maintainer)" = "divro developers <dev@divro.invalid>" ] ||
    fail "package maintainer"
  depends=$(dpkg-deb -f "$deb" Depends)
  grep -q libc6 <<<"$depends" || fail "package depends: $depends"
  # A program that hashes needs libcrypto, and the package says so.
  if readelf -d "$BUILD/divro" | grep -q 'NEEDED.*libcrypto'; then
    grep -q libssl <<<"$depends" || fail "package depends without libssl: $depends"
  fi
  dpkg-deb -x "$deb" "$WORK/deb"
  sed "s/@PROJECT_VERSION@/$VERSION/" man/ja/divro.1 |
    cmp -s - <(zcat "$WORK/deb/usr/share/man/ja/man1/divro.1.gz") ||
    fail "packaged Japanese page differs from man/ja/divro.1"
  doc="$WORK/deb/usr/share/doc/divro"
  grep -qx "Copyright: $(sed -n 's/^Copyright (c) //p' LICENSE)" "$doc/copyright" &&
    diff <(copyright_licence "$doc/copyright") <(sed -n '/^Permission/,$p' LICENSE) ||
    fail "the copyright file does not carry LICENSE"
  [ "$(zcat "$doc/changelog.gz" | dpkg-parsechangelog -l - -S Version)" = "$VERSION" ] ||
    fail "the changelog's newest entry is not $VERSION"
  ok "Debian package $(basename "$deb") checked"
  if need_packages lintian && command -v lintian >/dev/null; then
    # Errors, warnings and any missing hardening fail; other info and
    # pedantic notes are shown only.
    lintian --fail-on error,warning -I --pedantic "$deb" 2>&1 | grep -v 'running with root privileges' \
      >"$WORK/lintian.log"
    if [ "${PIPESTATUS[0]}" -eq 0 ] && ! grep -q ' hardening-no-' "$WORK/lintian.log"; then
      ok "lintian: no error, no warning, no missing hardening"
      sed 's/^/    /' "$WORK/lintian.log"
    else
      fail "lintian:"
      cat "$WORK/lintian.log"
    fi
  else
    skip "lintian is missing and cannot be installed"
  fi
else
  fail "cpack -G DEB"
  cat "$WORK/cpack.log"
fi

# --- the RPM -----------------------------------------------------------------
if need_packages rpm && command -v rpmbuild >/dev/null; then
  if (cd "$BUILD" && cpack -G RPM >"$WORK/cpack-rpm.log" 2>&1); then
    rpm=$(ls "$BUILD"/divro-*.rpm)
    expected="/usr/bin/divro
/usr/share/bash-completion/completions/divro
/usr/share/doc/divro
/usr/share/doc/divro/changelog.gz
/usr/share/doc/divro/copyright
/usr/share/licenses/divro
/usr/share/licenses/divro/LICENSE
/usr/share/man/ja/man1/divro.1.gz
/usr/share/man/man1/divro.1.gz"
    files=$(rpm -qlp "$rpm" 2>/dev/null)
    [ "$files" = "$expected" ] || fail "RPM files:"$'\n'"$files"
    licence=$(rpm -qLp "$rpm" 2>/dev/null)
    [ "$licence" = /usr/share/licenses/divro/LICENSE ] || fail "RPM licence files: $licence"
    [ "$(rpm -qp --qf '%{VERSION} %{LICENSE}' "$rpm" 2>/dev/null)" = "$VERSION MIT" ] ||
      fail "RPM version and licence tag: $(rpm -qp --qf '%{VERSION} %{LICENSE}' "$rpm")"
    # The description is the Debian package's long one.
    info=$(rpm -qip "$rpm" 2>/dev/null)
    [ "$(sed -n '/^Description :/,$p' <<<"$info" | tail -n +2)" = \
      "$(dpkg-deb -f "$deb" Description | tail -n +2 | sed 's/^ //')" ] ||
      fail "rpm -qip shows no description:"$'\n'"$info"
    if readelf -d "$BUILD/divro" | grep -q 'NEEDED.*libcrypto'; then
      grep -q '^libcrypto\.so' <<<"$(rpm -qp --requires "$rpm" 2>/dev/null)" ||
        fail "the RPM does not require libcrypto"
    fi
    ok "RPM $(basename "$rpm") checked"
  else
    fail "cpack -G RPM"
    cat "$WORK/cpack-rpm.log"
  fi
else
  skip "RPM: rpmbuild (Debian's rpm package) is missing and cannot be installed"
fi

# --- the Windows zip ---------------------------------------------------------
WINE=${DIVRO_WINE:-$(command -v wine64 || command -v wine || true)}
if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v unzip >/dev/null; then
  WIN="$ROOT/build-install-win"
  if cmake -S "$ROOT" -B "$WIN" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDIVRO_BUILD_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null 2>&1 &&
    cmake --build "$WIN" >/dev/null && rm -f "$WIN"/divro-*.zip &&
    (cd "$WIN" && cpack -G ZIP >"$WORK/cpack-win.log" 2>&1); then
    zip="$WIN/divro-$VERSION-win64.zip"
    names=$(unzip -Z1 "$zip" | sort)
    [ "$names" = "$(printf "divro-$VERSION-win64/%s\n" LICENSE.txt README.txt divro.exe)" ] ||
      fail "zip files: $names"
    unzip -q "$zip" -d "$WORK/zip"
    unpacked="$WORK/zip/divro-$VERSION-win64"
    cmp -s <(sed 's/$/\r/' LICENSE) "$unpacked/LICENSE.txt" || fail "LICENSE.txt is not LICENSE with CRLF"
    # Notepad on a Japanese Windows: code page 932, every line ended by CRLF;
    # Japanese first, then the English part.
    python3 - "$unpacked/README.txt" <<'PY' || fail "README.txt"
import sys
data = open(sys.argv[1], "rb").read()
text = data.decode("cp932")
assert data.count(b"\n") > 50 and data.count(b"\n") == data.count(b"\r\n") == data.count(b"\r"), "line ends"
english = text.index("\r\nEnglish\r\n")
assert any("\u3040" <= c <= "\u30ff" for c in text[:english]), "no Japanese part"
assert text[english:].isascii(), "the English part is not plain ASCII"
PY
    if [ -n "$WINE" ]; then
      # The unpacked program divides and joins under Wine.
      mkdir -p "$WORK/wine/joined" && cd "$WORK/wine" || exit 1
      head -c 250000 /dev/urandom >data.bin
      exe="$unpacked/divro.exe"
      if WINEDEBUG=-all timeout 300 "$WINE" "$exe" data.bin /100 </dev/null >/dev/null 2>&1 &&
        WINEDEBUG=-all timeout 300 "$WINE" "$exe" data.bin.001 joined </dev/null >/dev/null 2>&1 &&
        cmp -s data.bin joined/data.bin && [ -f data.bin.003 ] && [ ! -e data.bin.004 ]; then
        ok "divro.exe from the zip divides and joins under Wine"
      else
        fail "divro.exe from the zip under Wine"
      fi
      cd "$ROOT" || exit 1
    else
      skip "divro.exe from the zip: Wine is missing"
    fi
    ok "Windows zip $(basename "$zip") checked"
  else
    fail "Windows cross build or cpack -G ZIP"
    cat "$WORK/cpack-win.log" 2>/dev/null
  fi
else
  skip "Windows zip: MinGW-w64 or unzip is missing"
fi

# --- the README's install commands and ./run.sh, on fresh sources -----------
# The tracked files, as a fresh clone has them (all of the tree without git).
CLONE="$WORK/clone"
mkdir -p "$CLONE"
if command -v git >/dev/null && git -C "$ROOT" rev-parse --git-dir >/dev/null 2>&1; then
  (cd "$ROOT" && git ls-files -z | tar --null -T - -cf -) | tar -xf - -C "$CLONE"
else
  tar -C "$ROOT" --exclude='./build*' -cf - . | tar -xf - -C "$CLONE"
fi

# The indented command lines of the README's Install section, in order.
readme_commands() { awk '/^## /{on = $0 == "## Install"} on && sub(/^    /, "")' "$CLONE/README.md"; }
# The files and links that the commands could leave: all of /usr/local and
# what bears divro's name elsewhere (other programs may change the rest of
# the system meanwhile), outside the data of dpkg and the caches.
system_files() {
  find /usr /etc /opt -xdev \( -type f -o -type l \) \( -path '/usr/local/*' -o -path '*divro*' \) \
    2>/dev/null | sort
}

if [ "$(id -u)" -ne 0 ]; then
  skip "the README's install commands: they install into the system, so they run as root only"
elif dpkg -s divro >/dev/null 2>&1 || [ -e /usr/local/bin/divro ]; then
  skip "the README's install commands: divro is installed on this machine already"
elif ! need_packages sudo; then
  skip "the README's install commands: sudo cannot be installed"
else
  system_files >"$WORK/before"
  failures_before=$failures
  count=0
  while IFS= read -r command; do
    count=$((count + 1))
    case $command in
      # The packages it names, installed only where missing: another run
      # may hold apt's lock, and an update changes nothing the test sees.
      "sudo apt-get update") continue ;;
      "sudo apt-get install "*)
        need_packages ${command#sudo apt-get install } >"$WORK/command.out" 2>&1
        rc=$? ;;
      # Before the removal, with divro installed, the Quick start as shown.
      "sudo dpkg -r divro")
        python3 "$ROOT/tests/install/quick_start.py" "$CLONE/README.md" || fail "README: the Quick start"
        ;;&
      *)
        (cd "$CLONE" && timeout 900 bash -c "$command" </dev/null >"$WORK/command.out" 2>&1)
        rc=$? ;;
    esac
    out=$(cat "$WORK/command.out")
    case "$rc:$command" in
      0:"divro --version") [ "$out" = "divro $VERSION" ] || fail "README: $command printed: $out" ;;
      0:"man divro") grep -q 18575 <<<"$out" || fail "README: $command printed: ${out:0:300}" ;;
      0:*) ;;
      *) fail "README: '$command' exited $rc:"$'\n'"$(tail -15 <<<"$out")" ;;
    esac
  done < <(readme_commands)
  # The packages, the Debian package's round trip and the plain install's
  # are all there.
  [ "$count" -ge 16 ] || fail "README: only $count install commands found"
  left=$(comm -13 "$WORK/before" <(system_files))
  [ -z "$left" ] || fail "README: the commands left files behind:"$'\n'"$left"
  dpkg -s divro >/dev/null 2>&1 && fail "README: the divro package is still installed"
  [ $failures -eq $failures_before ] && ok "the README's $count install commands work as written"
fi

# ./run.sh: one line on standard error where it builds, and where; once built,
# the program's own output and nothing else.
mkdir -p "$WORK/runsh" && cd "$WORK/runsh" || exit 1
head -c 250000 /dev/urandom >data.bin
"$CLONE/run.sh" data.bin /100 >first.out 2>first.err
rc1=$?
rm -f data.bin.00?
"$CLONE/run.sh" data.bin /100 >second.out 2>second.err
rc2=$?
if [ $rc1 -eq 0 ] && [ $rc2 -eq 0 ] && [ "$(wc -l <first.err)" -eq 1 ] &&
  grep -qF "$CLONE/build-release" first.err && [ ! -s second.err ] && cmp -s first.out second.out &&
  [ -f data.bin.003 ]; then
  ok "./run.sh says once that it builds, then only runs"
else
  fail "./run.sh (exit $rc1, then $rc2); first run said:"$'\n'"$(cat first.err)"$'\n'"second: $(cat second.err)"
fi
cd "$ROOT" || exit 1

echo "install and packages: $failures failed, $skipped skipped"
[ $failures -eq 0 ] && [ $skipped -eq 0 ]
