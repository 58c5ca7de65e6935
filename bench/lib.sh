# Timing helpers for bench/run.sh: one timed run under /usr/bin/time -v,
# medians, and the alternating A B A B comparison that prints one table row.
# Expects RUNS, DIVRO and BENCH_TMP to be set by the caller.

die() { echo "!! $*" >&2; exit 1; }

# Runs a shell command string once; sets T_LAST (seconds, wall clock) and
# RSS_LAST (peak resident KiB). The string is eval'ed so globs and
# redirections happen per run, outside the measured process.
timed() {
  local t0 t1
  t0=$(date +%s.%N)
  eval "/usr/bin/time -v -o \"\$BENCH_TMP/rss\" $1" || die "failed: $1"
  t1=$(date +%s.%N)
  T_LAST=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')
  RSS_LAST=$(awk -F': *' '/Maximum resident set size/ { print $2 }' "$BENCH_TMP/rss")
}

median() {
  printf '%s\n' "$@" | sort -g |
    awk '{ v[NR] = $1 } END { printf "%.4f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

header() {
  printf '%-28s %9s %9s %7s %8s %8s  %s\n' case divro_s peer_s ratio divroMiB peerMiB peer
}

# compare LABEL PREP A B PEERNAME: a warm-up pair, then RUNS pairs, each run
# after PREP (untimed). Ratio is the median of the per-pair ratios A/B;
# memory is the peak over every run.
compare() {
  local label=$1 prep=$2 a=$3 b=$4 peer=$5 i ta=() tb=() rs=() ra=0 rb=0 x
  for ((i = 0; i <= RUNS; i++)); do
    eval "$prep"; timed "$a"; x=$T_LAST; ((RSS_LAST > ra)) && ra=$RSS_LAST
    eval "$prep"; timed "$b"; ((RSS_LAST > rb)) && rb=$RSS_LAST
    ((i == 0)) && continue
    ta+=("$x"); tb+=("$T_LAST")
    rs+=("$(awk -v a="$x" -v b="$T_LAST" 'BEGIN { printf "%.4f", (b > 0 ? a / b : 0) }')")
  done
  printf '%-28s %9.3f %9.3f %7.3f %8s %8s  %s\n' "$label" "$(median "${ta[@]}")" \
    "$(median "${tb[@]}")" "$(median "${rs[@]}")" "$(mib $ra)" "$(mib $rb)" "$peer"
}

# single PREP CMD: warm-up and RUNS runs of one command; sets S_MEDIAN, S_RSS.
single() {
  local prep=$1 cmd=$2 i t=() r=0
  for ((i = 0; i <= RUNS; i++)); do
    eval "$prep"; timed "$cmd"; ((RSS_LAST > r)) && r=$RSS_LAST
    ((i == 0)) || t+=("$T_LAST")
  done
  S_MEDIAN=$(median "${t[@]}"); S_RSS=$r
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
