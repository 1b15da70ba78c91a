#!/usr/bin/env bash
# The campaign report of many generated logs (default 50 scan logs of 20 MiB,
# 1 GB in all, of two frequency plans): its wall time against
# `vyrhost decode --format summary` over the same files with the same number
# of jobs (goal: at most 1.3 times), its peak memory (goal: under 300 MB) and
# the page's size (goal: under 25 MB). The logs are generated once and kept in
# WORK_DIR; each command runs twice on warm files and the faster run counts.
#
#   bench/campaign-report.sh [BIN_DIR] [WORK_DIR] [LOGS] [MIB] [JOBS]
set -euo pipefail

bin=$(cd "${1:-build/bin}" && pwd)
work=${2:-/tmp/kel-campaign-bench}
n=${3:-50}
mib=${4:-20}
jobs=${5:-2}
mkdir -p "$work"

logs=()
for i in $(seq 1 "$n"); do
  f=$work/log$(printf %03d "$i")_${mib}.h2m
  # Two plans: odd logs scan 2 bands of 1000 bins, even ones 2 bands of 800.
  bins=$(( i % 2 ? 1000 : 800 ))
  [ -s "$f" ] || "$bin/hytemgen" --shape fixed --kind scan --bands 2 --bins "$bins" --size "$mib" --seed "$i" -o "$f"
  logs+=("$f")
done
cat "${logs[@]}" > /dev/null  # warm the page cache

# Runs a command twice under /usr/bin/time -v; prints "WALL_SECONDS CPU_SECONDS MAX_RSS_KB"
# of the faster run (CPU: user and system time of all threads, steadier than
# the wall time on a machine shared with other work).
measure() {
  local best="" cpu="" rss=""
  for _ in 1 2; do
    /usr/bin/time -v "$@" > /dev/null 2> "$work/time.txt"
    local wall c kb
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$work/time.txt")
    c=$(awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$work/time.txt")
    kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
    if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$wall; cpu=$c; rss=$kb; fi
  done
  echo "$best $cpu $rss"
}

bytes=$(cat "${logs[@]}" | wc -c)
load=$(cut -d' ' -f1-3 /proc/loadavg)
read -r decode_s decode_cpu decode_kb < <(measure "$bin/vyrhost" decode --format summary --jobs "$jobs" "${logs[@]}")
read -r report_s report_cpu report_kb < <(measure "$bin/vyrhost" report --jobs "$jobs" -o "$work/campaign.html" "${logs[@]}")
page=$(wc -c < "$work/campaign.html")

echo "campaign of $n logs, $(awk -v b="$bytes" 'BEGIN { printf "%.0f", b / 1e6 }') MB, --jobs $jobs, $(nproc) cores: $(uname -m), $(date -u +%Y-%m-%d)"
echo "load average before the runs: $load"
awk -v d="$decode_s" -v dc="$decode_cpu" -v dk="$decode_kb" -v r="$report_s" -v rc="$report_cpu" -v rk="$report_kb" -v p="$page" 'BEGIN {
  printf "decode --format summary: %6.2f s wall, %6.2f s CPU, %4.0f MB peak\n", d, dc, dk / 1024
  printf "report (campaign page):  %6.2f s wall, %6.2f s CPU, %4.0f MB peak\n", r, rc, rk / 1024
  printf "report / decode: %.2f x wall, %.2f x CPU (goal <= 1.3)\n", r / d, rc / dc
  printf "page: %.1f MB (goal < 25 MB)\n", p / 1e6
}'
if command -v chromium > /dev/null; then
  echo "page drawn in headless Chromium: $(/usr/bin/python3 "$(dirname "$0")/page-open-time.py" "$work/campaign.html") s"
fi
