#!/usr/bin/env bash
# Times divro against split, cat and cp on tmpfs, on the disk and on a
# reflink XFS image.  Usage: bench/run.sh   (BENCH_QUICK=1 for a smoke run)
# Env: DIVRO_BIN, BENCH_RUNS, BENCH_BIG_MB, BENCH_PIECE_KB, BENCH_SMALL_N,
# BENCH_BATCH_NS, BENCH_XFS_MB, BENCH_XFS_PIECE_KB, BENCH_DISK_DIR, BENCH_FS,
# BENCH_BASE_BIN (an older divro build timed against this one), BENCH_HUGE_MB.
# BENCH_FS="huge" times a file past 4 GiB (6 GiB by default) on the disk: it
# needs 18 GiB free there (the file, its pieces and the joined copy).
set -euo pipefail
shopt -s nullglob
export LC_ALL=C  # fixed glob order for cat's piece lists
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")
source "$ROOT/tools/deps.sh"
source "$HERE/lib.sh"

if [ -n "${BENCH_QUICK:-}" ]; then
  : "${BENCH_RUNS:=5}" "${BENCH_BIG_MB:=64}" "${BENCH_PIECE_KB:=4096}" "${BENCH_SMALL_N:=400}"
  : "${BENCH_BATCH_NS:=100 250 400}" "${BENCH_XFS_MB:=32}"
fi
RUNS=${BENCH_RUNS:-5}
BIG_MB=${BENCH_BIG_MB:-2048}
PIECE_KB=${BENCH_PIECE_KB:-102400}
SMALL_N=${BENCH_SMALL_N:-18575}
BATCH_NS=${BENCH_BATCH_NS:-2000 6000 18575}
XFS_MB=${BENCH_XFS_MB:-500}
XFS_PIECE_KB=${BENCH_XFS_PIECE_KB:-1440}
HUGE_MB=${BENCH_HUGE_MB:-6144}
DISK_DIR=${BENCH_DISK_DIR:-/var/tmp}
FSES=${BENCH_FS:-shm disk xfs}

need_packages time coreutils xfsprogs strace openssl >&2 || true
if [ -z "${DIVRO_BIN:-}" ]; then
  cmake -S "$ROOT" -B "$ROOT/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DDIVRO_BUILD_TESTS=OFF >/dev/null || die "cmake failed"
  ninja -C "$ROOT/build-bench" divro >/dev/null || die "build failed"
  DIVRO_BIN=$ROOT/build-bench/divro
fi
DIVRO=$(realpath "$DIVRO_BIN")
[ -x "$DIVRO" ] || die "no divro at $DIVRO"
BASE=${BENCH_BASE_BIN:+$(realpath "$BENCH_BASE_BIN")}  # optional second build to compare

BENCH_TMP=$(mktemp -d /tmp/divro-bench.XXXXXX)
WORKDIRS=() MNT="" IMG=""
cleanup() {
  cd /
  [ -n "$MNT" ] && { umount "$MNT" 2>/dev/null || umount -l "$MNT" 2>/dev/null || true; }
  [ -n "$IMG" ] && rm -f "$IMG"
  rm -rf "${WORKDIRS[@]}" "$BENCH_TMP"; [ -n "$MNT" ] && rmdir "$MNT" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

make_file() { head -c "$2" /dev/urandom >"$1"; }
# Moves the files aside, into a folder of their own, instead of deleting
# them: ext4 skips inodes freed moments ago when it allocates new ones, and
# its search past 18575 of them cost whichever program ran next seconds.
SPENT=0
retire() {
  (($# > 0)) || return 0
  SPENT=$((SPENT + 1)); mkdir -p "spent/$SPENT"; mv -- "$@" "spent/$SPENT/"
}
sync_fs() { [ "$SYNC" = 1 ] && sync -f . || true; }
used_kib() { df -k --output=used . | tail -1 | tr -d ' '; }

# bench_fs DIR TITLE SYNC MB PIECE_KB SMALL: one table in DIR.
bench_fs() {
  local dir=$1 title=$2 mb=$4 pk=$5 small=$6 n
  SYNC=$3
  cd "$dir"; mkdir out
  echo; echo "== $title: $dir ($(stat -f -c %T .)), ${RUNS} runs after a warm-up"
  make_file big $((mb << 20)); sync_fs
  syscalls "$DIVRO big /$pk /Y"; rm -f big.*
  if [ "$title" = xfs ]; then
    local u0 u1 u2; u0=$(used_kib)
    "$DIVRO" big /$pk /Y >/dev/null; sync_fs; u1=$(used_kib); rm -f big.*; sync_fs
    split -b ${pk}K -d -a 3 --numeric-suffixes=1 big big.; sync_fs; u2=$(used_kib)
    rm -f big.*; sync_fs
    echo "df used KiB: before $u0, after divro $u1 (+$((u1 - u0))), after split $u2 (+$((u2 - u0)))"
  fi
  header
  compare "divide ${mb} MiB /$pk" 'rm -f big.*; sync_fs' \
    "\"\$DIVRO\" big /$pk /Y >/dev/null" "split -b ${pk}K -d -a 3 --numeric-suffixes=1 big big." split
  local split_s=$C_MEDIAN_B
  [ -n "$BASE" ] && compare "divide, this vs base build" 'rm -f big.*; sync_fs' \
    "\"\$DIVRO\" big /$pk /Y >/dev/null" "\"\$BASE\" big /$pk /Y >/dev/null" "base divro"
  "$DIVRO" big /$pk /Y >/dev/null; sync_fs
  n=$(ls big.* | wc -l)
  compare "join $n pieces" 'rm -f out/big; sync_fs' \
    "\"\$DIVRO\" big.001 /Y out >/dev/null" "cat big.[0-9][0-9][0-9] big.[a-z][a-z][a-z] > out/big" cat
  cmp -s big out/big || die "joined file differs from the source"
  if [ "$title" = xfs ]; then
    printf '%-28s %9.3f %9.3f %7.3f  %s\n' "join vs split's division" "$C_MEDIAN_A" "$split_s" \
      "$(awk -v j="$C_MEDIAN_A" -v d="$split_s" 'BEGIN { print (d > 0 ? j / d : 0) }')" \
      "divro join / split division"
  fi
  [ -n "$BASE" ] && compare "join, this vs base build" 'rm -f out/big; sync_fs' \
    "\"\$DIVRO\" big.001 /Y out >/dev/null" "\"\$BASE\" big.001 /Y out >/dev/null" "base divro"
  # With a checksum file: a division that hashes every piece and the whole
  # file against split and a separate digest of the file, a join that
  # checks every piece against cat.
  compare "divide /H (checksums)" 'rm -f big.*; sync_fs' \
    "\"\$DIVRO\" big /$pk /H /Y >/dev/null" \
    "split -b ${pk}K -d -a 3 --numeric-suffixes=1 big big. && openssl dgst -sha256 big >/dev/null" \
    "split+openssl dgst"
  rm -f big.*; "$DIVRO" big /$pk /H /Y >/dev/null; sync_fs
  compare "join checking big.sha256" 'rm -f out/big; sync_fs' \
    "\"\$DIVRO\" big.001 /Y out >/dev/null" "cat big.[0-9][0-9][0-9] big.[a-z][a-z][a-z] > out/big" cat
  cmp -s big out/big || die "joined file differs from the source"
  compare "join checking, vs cat+dgst" 'rm -f out/big; sync_fs' \
    "\"\$DIVRO\" big.001 /Y out >/dev/null" \
    "cat big.[0-9][0-9][0-9] big.[a-z][a-z][a-z] > out/big && openssl dgst -sha256 out/big >/dev/null" \
    "cat+openssl dgst"
  # A check without joining, the pieces alone in their folder: sha256sum -c
  # then finds no whole file for its last line, and exits 1 for it.
  mv big out/big.source
  compare "check /V" 'sync_fs' "\"\$DIVRO\" /V big.001 >/dev/null" \
    "sha256sum -c big.sha256 >/dev/null 2>&1 || true" "sha256sum -c"
  mv out/big.source big
  rm -f big.sha256 out/big
  single 'rm -f copy; sync_fs' "cp big copy"
  printf '%-28s %9s %9.3f %7s %6s %8s %8s  %s\n' "cp (reference)" - "$S_MEDIAN" - - - "$(mib $S_RSS)" cp
  rm -f big big.* out/big copy
  [ "$small" = 1 ] || return 0

  make_file small "$SMALL_N"; sync_fs
  compare "divide $SMALL_N x 1 B" 'retire small.*; sync_fs' \
    "\"\$DIVRO\" small /0.0009765625 /Y >/dev/null" "split -b 1 -a 4 small small." "split -a 4"
  # Over a set that is there already, as users repeat a division: divro
  # with /Y over its own pieces, split over its own.
  retire small.*; "$DIVRO" small /0.0009765625 /Y >/dev/null; split -b 1 -a 4 small small.; sync_fs
  compare "divide $SMALL_N x 1 B, over" 'sync_fs' \
    "\"\$DIVRO\" small /0.0009765625 /Y >/dev/null" "split -b 1 -a 4 small small." "split over own"
  rm -f small.[a-z][a-z][a-z][a-z]
  compare "join $SMALL_N x 1 B" 'rm -f out/small; sync_fs' \
    "\"\$DIVRO\" small.001 /Y out >/dev/null" \
    "cat small.[0-9][0-9][0-9] small.[a-z][a-z][a-z] > out/small" cat
  compare "join $SMALL_N x 1 B, over" 'sync_fs' \
    "\"\$DIVRO\" small.001 /Y out >/dev/null" \
    "cat small.[0-9][0-9][0-9] small.[a-z][a-z][a-z] > out/small" "cat over"
  cmp -s small out/small || die "joined small file differs from the source"
  # Growth from one row to the next shows linearity free of the start-up cost.
  printf '%-28s %9s %9s %9s %8s\n' "batch /C (copy batch)" divro_s us/piece us/added divroMiB
  local pn=0 pt=0
  for n in $BATCH_NS; do
    ((n <= SMALL_N)) || continue
    # Pieces 1 to n, linked into a folder of their own: a set cut short by
    # moving one piece away would have a gap, which the batch writer refuses.
    rm -rf set; mkdir set
    for ((i = 1; i <= n; i++)); do echo "small.$(piece_ext $i)"; done | xargs ln -t set
    single 'rm -f small.cpy.bat' "\"\$DIVRO\" set/small.001 /C /Y >/dev/null"
    [ "$(grep -c '^COPY' small.cpy.bat)" = $((n - 1)) ] || die "batch for $n pieces is wrong"
    printf '%-28s %9.3f %9.1f %9.1f %8s\n' "batch $n pieces" "$S_MEDIAN" \
      "$(awk -v t="$S_MEDIAN" -v n="$n" 'BEGIN { print t / n * 1e6 }')" \
      "$(awk -v t="$S_MEDIAN" -v n="$n" -v a="$pt" -v b="$pn" 'BEGIN { print (t - a) / (n - b) * 1e6 }')" \
      "$(mib $S_RSS)"
    pn=$n pt=$S_MEDIAN
  done
  rm -rf small small.* out/small spent set
}

# bench_huge DIR: a file past 4 GiB, divided into 1 GiB pieces against split
# and joined against cat, with the calls and the peak memory of each.
bench_huge() {
  cd "$1"; mkdir out
  SYNC=1
  local need=$((HUGE_MB * 3 + 1024)) free
  free=$(($(df -k --output=avail . | tail -1) / 1024))
  if ((free < need)); then
    echo; echo "!!!!! PAST 4 GIB SKIPPED: needs $need MiB free in $1, has $free MiB !!!!!"
    return 0
  fi
  echo; echo "== past 4 GiB: $1 ($(stat -f -c %T .)), ${HUGE_MB} MiB, ${RUNS} runs after a warm-up"
  make_file big $((HUGE_MB << 20)); sync_fs
  syscalls "$DIVRO big /1G /Y"; rm -f big.*
  header
  compare "divide ${HUGE_MB} MiB /1G" 'rm -f big.*; sync_fs' "\"\$DIVRO\" big /1G /Y >/dev/null" \
    "split -b 1G -d -a 3 --numeric-suffixes=1 big big." split
  "$DIVRO" big /1G /Y >/dev/null; sync_fs
  syscalls "$DIVRO big.001 /Y out"; rm -f out/big
  compare "join $(ls big.* | wc -l) pieces of 1 GiB" 'rm -f out/big; sync_fs' \
    "\"\$DIVRO\" big.001 /Y out >/dev/null" "cat big.[0-9][0-9][0-9] > out/big" cat
  cmp -s big out/big || die "joined file differs from the source"
  rm -f big big.* out/big
}

echo "divro: $DIVRO"
echo "kernel $(uname -r), $(nproc) cores, $(split --version | head -1)"
for fs in $FSES; do
  case $fs in
    shm) d=$(mktemp -d /dev/shm/divro-bench.XXXXXX); WORKDIRS+=("$d")
         bench_fs "$d" tmpfs 0 "$BIG_MB" "$PIECE_KB" 1 ;;
    disk) d=$(mktemp -d "$DISK_DIR/divro-bench.XXXXXX"); WORKDIRS+=("$d")
         bench_fs "$d" disk 1 "$BIG_MB" "$PIECE_KB" 1 ;;
    xfs)
      IMG=$(mktemp "$DISK_DIR/divro-xfs.XXXXXX.img"); MNT=$(mktemp -d /tmp/divro-xfs.XXXXXX)
      truncate -s $((XFS_MB * 4 + 400))M "$IMG"
      if ! mkfs.xfs -q -m reflink=1 "$IMG" >/dev/null 2>&1 || ! mount -o loop "$IMG" "$MNT" 2>/dev/null; then
        echo; echo "!!!!! XFS SKIPPED: cannot make or loop-mount an XFS image here (mkfs.xfs/mount -o loop failed) !!!!!"
        rm -f "$IMG"; IMG=""; rmdir "$MNT"; MNT=""; continue
      fi
      mkdir "$MNT/w"; bench_fs "$MNT/w" xfs 1 "$XFS_MB" "$XFS_PIECE_KB" 0 ;;
    huge) d=$(mktemp -d "$DISK_DIR/divro-bench.XXXXXX"); WORKDIRS+=("$d")
         bench_huge "$d" ;;
    *) die "unknown filesystem kind $fs" ;;
  esac
done
