#!/usr/bin/env bash
# One large scan log decoded with --jobs 1 and --jobs 2: wall and CPU time
# and peak memory of `vyrhost decode --format summary`, `vyrhost export
# --csv`, `vyrhost stats --csv` (to /dev/null) and `vyrhost report` (to a
# page in $TMPDIR), medians of ROUNDS alternating runs.
#
# Usage: bench/pieces.sh BIN_DIR [LOG]   (default: a 1 GiB log made by hytemgen
# in $TMPDIR); ROUNDS (default 3).
set -euo pipefail
bin=${1:?usage: bench/pieces.sh BIN_DIR [LOG]}
log=${2:-${TMPDIR:-/tmp}/pieces-bench-1g.h2m}
rounds=${ROUNDS:-3}
if [ ! -f "$log" ]; then
  "$bin/hytemgen" --kind scan --bands 2 --bins 400 --size 1024 -o "$log"
fi

# "wall cpu maxrss_kib" of one run.
measure() {
  /usr/bin/time -f '%e %U %S %M' "$@" 2>&1 >/dev/null | tail -1 | awk '{print $1, $2 + $3, $4}'
}
page=$(mktemp "${TMPDIR:-/tmp}/pieces-bench-XXXXXX.html")
trap 'rm -f "$page"' EXIT
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

for what in "decode --format summary" "export --csv" "stats --csv" "report -o $page"; do
  declare -A wall=() cpu=() rss=()
  for r in $(seq "$rounds"); do
    for jobs in 1 2; do
      read -r w c m < <(measure "$bin/vyrhost" $what --jobs "$jobs" "$log")
      wall[$jobs]+="$w "$'\n'; cpu[$jobs]+="$c "$'\n'; rss[$jobs]+="$m "$'\n'
    done
  done
  w1=$(printf '%s' "${wall[1]}" | median); w2=$(printf '%s' "${wall[2]}" | median)
  for jobs in 1 2; do
    w=$(printf '%s' "${wall[$jobs]}" | median); c=$(printf '%s' "${cpu[$jobs]}" | median)
    m=$(printf '%s' "${rss[$jobs]}" | median)
    printf '%-24s --jobs %s  %7.2f s  CPU %7.2f s  peak RSS %6.1f MiB  = %.2fx of one job\n' \
      "${what%% -o *}" "$jobs" "$w" "$c" "$(echo "$m / 1024" | bc -l)" "$(echo "$w / $w1" | bc -l)"
  done
  unset wall cpu rss
done
