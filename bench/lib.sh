# Timing helpers for bench/run.sh: one timed run, one run under
# /usr/bin/time -v for memory, medians, and the interleaved A B / B A
# comparison that prints one table row.
# Expects RUNS, DIVRO and BENCH_TMP to be set by the caller.

die() { echo "!! $*" >&2; exit 1; }

# Runs a shell command string once; sets T_LAST (seconds, wall clock). The
# clock is bash's own, read just before and after, so no helper process
# (date, /usr/bin/time) is timed with the command. The string is eval'ed so
# globs and redirections happen per run, outside the measured process.
timed() {
  local t0 t1
  t0=$EPOCHREALTIME
  eval "$1" || die "failed: $1"
  t1=$EPOCHREALTIME
  T_LAST=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')
}

# Runs a shell command string once under /usr/bin/time -v, untimed; sets
# RSS_LAST (peak resident KiB).
peak_rss() {
  eval "/usr/bin/time -v -o \"\$BENCH_TMP/rss\" $1" || die "failed: $1"
  RSS_LAST=$(awk -F': *' '/Maximum resident set size/ { print $2 }' "$BENCH_TMP/rss")
}

median() {
  printf '%s\n' "$@" | sort -g |
    awk '{ v[NR] = $1 } END { printf "%.4f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

minimum() { printf '%s\n' "$@" | sort -g | head -1; }

mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

header() {
  printf '%-28s %9s %9s %7s %6s %8s %8s  %s\n' case divro_s peer_s ratio best divroMiB peerMiB peer
}

# compare LABEL PREP A B PEERNAME: a warm-up pair, which also gives the
# peak memory of each, then RUNS timed pairs in alternating order, each run
# after PREP (untimed).
# Ratio is the median of the per-pair ratios A/B; best is the ratio of the
# fastest runs, which shows the program's own cost where the machine adds
# large random delays (a virtual machine refaulting freed memory can make the
# same copy three times slower). C_MEDIAN_A and C_MEDIAN_B keep the two
# medians for the caller.
compare() {
  local label=$1 prep=$2 a=$3 b=$4 peer=$5 i ta=() tb=() rs=() ra rb x y
  eval "$prep"; peak_rss "$a"; ra=$RSS_LAST
  eval "$prep"; peak_rss "$b"; rb=$RSS_LAST
  for ((i = 1; i <= RUNS; i++)); do
    # A B, then B A: whatever the first run of a pair pays for the one
    # before (freed pages, writeback) falls on each side alike.
    if ((i % 2)); then
      eval "$prep"; timed "$a"; x=$T_LAST; eval "$prep"; timed "$b"; y=$T_LAST
    else
      eval "$prep"; timed "$b"; y=$T_LAST; eval "$prep"; timed "$a"; x=$T_LAST
    fi
    ta+=("$x"); tb+=("$y")
    rs+=("$(awk -v a="$x" -v b="$y" 'BEGIN { printf "%.4f", (b > 0 ? a / b : 0) }')")
  done
  C_MEDIAN_A=$(median "${ta[@]}") C_MEDIAN_B=$(median "${tb[@]}")
  local best
  best=$(awk -v a="$(minimum "${ta[@]}")" -v b="$(minimum "${tb[@]}")" \
    'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }')
  printf '%-28s %9.3f %9.3f %7.3f %6s %8s %8s  %s\n' "$label" "$C_MEDIAN_A" "$C_MEDIAN_B" \
    "$(median "${rs[@]}")" "$best" "$(mib $ra)" "$(mib $rb)" "$peer"
}

# single PREP CMD: a warm-up run, which also gives the peak memory, and RUNS
# timed runs of one command; sets S_MEDIAN, S_RSS.
single() {
  local prep=$1 cmd=$2 i t=()
  eval "$prep"; peak_rss "$cmd"; S_RSS=$RSS_LAST
  for ((i = 1; i <= RUNS; i++)); do
    eval "$prep"; timed "$cmd"; t+=("$T_LAST")
  done
  S_MEDIAN=$(median "${t[@]}")
}

# Name of piece n as divro numbers them: 001..999, then aaa..zzz.
piece_ext() {
  local n=$1
  if ((n <= 999)); then printf '%03d' "$n"; return; fi
  n=$((n - 1000)); local l=abcdefghijklmnopqrstuvwxyz
  printf '%s%s%s' "${l:n / 676:1}" "${l:n / 26 % 26:1}" "${l:n % 26:1}"
}

# Counts divro's copy_file_range/read/write calls for one command string.
syscalls() {
  command -v strace >/dev/null || { echo "strace missing: copy_file_range use unknown"; return; }
  eval "strace -f -c -o \"\$BENCH_TMP/st\" -e trace=copy_file_range,read,write $1" >/dev/null
  awk '$NF ~ /^(copy_file_range|read|write)$/ {
         printf "%s=%s%s ", $NF, $4, (NF == 6 ? " (" $5 " failed)" : "") }
       END { print "" }' "$BENCH_TMP/st" | sed 's/^/divro syscalls: /'
}
