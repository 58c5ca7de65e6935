#!/usr/bin/env bash
# Builds the fuzz targets into build-fuzz/ and runs each for DIVRO_FUZZ_SECONDS
# (default 10) over a copy of its seeds. Non-zero exit on a failed build or a crash.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="$ROOT/build-fuzz"
cmake -S "$ROOT/tests/fuzz" -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null &&
  cmake --build "$BUILD" || exit 1

status=0
for seeds in "$ROOT"/tests/fuzz/corpus/*/; do
  target="$(basename "$seeds")"
  rm -rf "$BUILD/corpus/$target" && mkdir -p "$BUILD/corpus/$target" && cp "$seeds"* "$BUILD/corpus/$target"
  log="$BUILD/$target.log"
  if "$BUILD/$target" -max_total_time="${DIVRO_FUZZ_SECONDS:-10}" -max_len=1024 -print_final_stats=1 \
      -artifact_prefix="$BUILD/crash-$target-" "$BUILD/corpus/$target" >"$log" 2>&1; then
    echo "$target: $(awk '/number_of_executed_units/ {print $2}' "$log") runs, no crash"
  else
    echo "$target: CRASHED, see $log"
    grep -E 'check failed|ERROR:|SUMMARY|Test unit written' "$log" | head -20
    status=1
  fi
done
exit $status
