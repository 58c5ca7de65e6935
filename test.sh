#!/usr/bin/env bash
# Builds and runs every test: the native unit and end-to-end tests, and the
# Windows build under Wine. Installs what a fresh Debian machine lacks (as
# root); prints loudly what it had to skip. Exit status 0 only when all ran
# and passed.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")" && pwd)"
cd "$ROOT"
source tools/deps.sh

failures=()
skipped=()
warnings=()
step() {  # step NAME COMMAND...
  local name=$1
  shift
  echo
  echo "=================== $name"
  local started=$SECONDS
  if "$@"; then
    echo "=================== $name: passed ($((SECONDS - started)) s)"
  else
    echo "=================== $name: FAILED ($((SECONDS - started)) s)"
    failures+=("$name")
  fi
}
skip() {
  echo "!!!!!!!!!!!!!!!!!!! SKIPPED: $*"
  skipped+=("$*")
}

need_packages cmake ninja-build g++ libssl-dev clang libgtest-dev googletest python3 locales tmux \
  7zip coreutils mingw-w64 g++-mingw-w64-x86-64-posix wine64 valgrind libclang-rt-14-dev \
  xfsprogs util-linux strace unzip man-db groff-base clang-format lintian rpm sudo bash-completion ||
  skip "some packages are missing (see above)"

# ja_JP for Wine's code page 932; de_DE writes numbers with a decimal comma.
for loc in ja_JP de_DE; do
  locale -a 2>/dev/null | grep -qi "^$loc.utf8\$" && continue
  if [ "$(id -u)" -eq 0 ]; then
    grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null || echo "$loc.UTF-8 UTF-8" >> /etc/locale.gen
    regenerate=1
  fi
done
# A character set without Japanese, where messages come as UTF-8.
if ! locale -a 2>/dev/null | grep -qi '^de_DE.iso88591$' && [ "$(id -u)" -eq 0 ]; then
  grep -q "^de_DE.ISO-8859-1 ISO-8859-1" /etc/locale.gen 2>/dev/null ||
    echo "de_DE.ISO-8859-1 ISO-8859-1" >> /etc/locale.gen
  regenerate=1
fi
[ -n "${regenerate:-}" ] && locale-gen >/dev/null 2>&1

export WINEDEBUG=-all
WINE=/usr/lib/wine/wine64
[ -x "$WINE" ] || WINE=$(command -v wine64 || command -v wine || true)
export DIVRO_WINE="$WINE"

# The native build carries AddressSanitizer (with LeakSanitizer) and
# UndefinedBehaviorSanitizer: the unit tests and the end-to-end suite run
# once under them, and any finding fails the run.
SANITIZE="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1
native_build() {
  cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="$SANITIZE" -DCMAKE_EXE_LINKER_FLAGS="$SANITIZE" >/dev/null &&
    cmake --build build-test
}
windows_build() {
  cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null &&
    cmake --build build-win
}
native_unit() { ctest --test-dir build-test --output-on-failure -j2; }
native_e2e() {
  DIVRO_BIN="$ROOT/build-test/divro" python3 -m unittest discover -s tests/e2e -t . -v 2>&1
}
wine_unit() {
  local dir
  dir=$(mktemp -d)
  (cd "$dir" && LC_ALL=ja_JP.UTF-8 "$WINE" "$ROOT/build-win/tests/divro_fake_tests.exe" &&
    LC_ALL=ja_JP.UTF-8 "$WINE" "$ROOT/build-win/tests/divro_real_tests.exe")
  local rc=$?
  rm -rf "$dir"
  return $rc
}

step "generated texts match their generator" python3 tools/gen_texts.py --check
# Every include of src/ runs down the layers (the check first proves that
# it still finds planted ones).
layers() { python3 tools/check_layers.py --self-test && python3 tools/check_layers.py; }
step "includes run down the layers" layers
formatted() { git ls-files 'src/*.cpp' 'src/*.h' | xargs clang-format --dry-run --Werror; }
step "sources formatted as .clang-format says" formatted
step "native build" native_build
# LeakSanitizer needs to stop the process's threads; a sandbox that forbids
# it makes every run fail at exit. Then leaks go unchecked (the in-memory
# platform still counts blocks and files), and the summary says so.
if [ -x build-test/divro ] && ! build-test/divro >/dev/null 2>&1; then
  if ASAN_OPTIONS=detect_leaks=0 build-test/divro >/dev/null 2>&1; then
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
    echo "!!!!!!!!!!!!!!!!!!! LeakSanitizer does not work here: leak checks are off"
    warnings+=("LeakSanitizer does not work on this machine; leak checks were off")
  fi
fi
step "native unit tests" native_unit
if ls tests/e2e/test_*.py >/dev/null 2>&1; then step "native end-to-end tests" native_e2e; fi
[ -x tests/fuzz/run.sh ] && step "fuzz targets (short runs)" tests/fuzz/run.sh
# A real file past 4 GiB: about a minute, and about twice the file (9 GiB)
# free on the disk. Without the room it is left out, and the summary says so.
large_file() {
  DIVRO_BIN="$ROOT/build-test/divro" python3 tests/large/run.py
  local rc=$?
  if [ $rc -eq 77 ]; then
    warnings+=("a file past 4 GiB was not tried: too little free disk (see above)")
    return 0
  fi
  return $rc
}
step "a file past 4 GiB (slow; needs 9 GiB free)" large_file
[ -x tests/install/run.sh ] && step "install and packages" tests/install/run.sh

if [ -n "$WINE" ] && command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  step "windows cross build" windows_build
  step "windows unit tests under wine" wine_unit
  [ -x tests/wine/run.sh ] && step "windows end-to-end tests under wine" tests/wine/run.sh
else
  skip "windows build and wine tests: MinGW-w64 or Wine is not installed"
fi

echo
echo "=================== summary"
for s in "${skipped[@]}"; do echo "SKIPPED: $s"; done
for w in "${warnings[@]}"; do echo "WARNING: $w"; done
if [ ${#failures[@]} -ne 0 ]; then
  for f in "${failures[@]}"; do echo "FAILED: $f"; done
  exit 1
fi
if [ ${#skipped[@]} -ne 0 ]; then
  echo "passed, but with skipped parts (see above)"
  exit 1
fi
echo "all tests passed"
