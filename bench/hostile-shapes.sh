#!/usr/bin/env bash
# Generates logs of hostile shapes (huge frequency plans, plans of huge
# frequencies, repeated headers, many bands, fields and columns, one very
# long line, an endless file) and
# measures the time and peak memory (RSS) of decoding each:
#
#   bench/hostile-shapes.sh BIN_DIR [WORK_DIR] [--all]
#
# BIN_DIR holds vyrhost and plugins/. Without --all only `decode --format
# summary` is measured; with it every command and format: decode as jsonl
# and text, export as CSV and JSON Lines, report, info and stats. Every run is cut off after LIMIT_S seconds (default 120) and
# limited to LIMIT_MB of address space (default 4096). Needs /usr/bin/time
# (Debian package `time`) and /usr/bin/python3.
set -euo pipefail

bin=$(cd "$1" && pwd)
work=${2:-$(mktemp -d)}
all=${3:-}
limit_s=${LIMIT_S:-120}
limit_mb=${LIMIT_MB:-4096}
mkdir -p "$work"
cd "$work"

/usr/bin/python3 - <<'EOF'
import os

SOFT = "HYTEM Software - V2.4.1\n"
COLS = "Time\tDate\tLatitude\tNS\tLongitude\tWE\tValidity\tBandNumber\tLevels\n"
LINE = "09:15:30\t03/15/05\t48.5112\tN\t2.2106\tE\t1\t1\t"

def plan_block(i):
    # One band of 1,000,001 frequencies (0 to 1000 MHz by 1 kHz); the start
    # varies so that no two blocks ask for the same plan.
    return (SOFT + "nbScannedBandwidths = 1\n"
            f"startFrequencies1 = {i % 1000}.000\nstopFrequencies1 = {i % 1000 + 1000}.000\n"
            "frequencyStep1 = 1\n" + COLS + LINE + "-80.0\t-81.0\n")

def write(name, text):
    with open(name, "w") as f:
        f.write(text)

def huge_block():
    # One band from -1e308 to 1e308 MHz by 1e300 kHz: about 2e11 frequencies,
    # each of whose "%.3f MHz" texts has 318 characters.
    return (SOFT + "nbScannedBandwidths = 1\nstartFrequencies1 = -1e308\nstopFrequencies1 = 1e308\n"
            "frequencyStep1 = 1e300\n" + COLS + LINE + "-80.0\n")

write("plan20.h2m", "".join(plan_block(i) for i in range(20)))
write("hugefreq.h2m", huge_block())
write("hugefreq1mb.h2m", huge_block() * ((1 << 20) // len(huge_block()) + 1))
blocks, size, i = [], 0, 0
while size < 1 << 20:
    b = plan_block(i); blocks.append(b); size += len(b); i += 1
write("plan1mb.h2m", "".join(blocks))

# One 10 MB line of 3.5 million short levels for a small plan.
levels = "\t".join("-%d" % (k % 10) for k in range(10 * 1024 * 1024 // 3 + 1))
write("line10mb.h2m", SOFT + "nbScannedBandwidths = 1\nstartFrequencies1 = 100\n"
      "stopFrequencies1 = 200\nfrequencyStep1 = 100\n" + COLS + LINE + levels[:10 << 20] + "\n")

# 1 MB of bands of one frequency each, in one header.
n = (1 << 20) // 64
bands = "".join(f"startFrequencies{j} = {j}.0\nstopFrequencies{j} = {j}.0\nfrequencyStep{j} = 1\n"
                for j in range(1, n + 1))
write("bands1mb.h2m", SOFT + f"nbScannedBandwidths = {n}\n" + bands + COLS + LINE + "-80\n")

# 1 MB of distinct header fields; 1 MB of columns; 1 MB of short lines with huge band numbers.
fields = "".join(f"field{j} = {j}\n" for j in range((1 << 20) // 16))
write("fields1mb.h2m", SOFT + fields + COLS + LINE + "-80\n")
cols = "\t".join(f"c{j}" for j in range((1 << 20) // 8))
write("columns1mb.h2m", SOFT + "nbScannedBandwidths = 0\nTime\tDate\t" + cols + "\n"
      + ("09:15:30\t03/15/05\t" + "\t".join("1" for _ in range(1000)) + "\n") * 500)
lines = "".join(f"09:15:30\t03/15/05\t48.5\tN\t2.2\tE\t1\t{2147483647 - j}\t-80,-81,-82\n"
                for j in range((1 << 20) // 60))
write("bandnumbers1mb.h2m", SOFT + "nbScannedBandwidths = 1\nstartFrequencies1 = 100\n"
      "stopFrequencies1 = 101\nfrequencyStep1 = 1\n" + COLS + lines)
# 1 MB of headers with empty blocks.
write("headers1mb.h2m", SOFT + COLS + LINE + "-80\n" + (SOFT + COLS) * ((1 << 20) // 100))
EOF
ln -sf /dev/zero zero.h2m

run() {  # label, command...
  local label=$1; shift
  local t0 t1 rc rss
  t0=$(date +%s.%N)
  rc=0
  ( ulimit -v $((limit_mb * 1024)); timeout "$limit_s" /usr/bin/time -f %M -o rss.txt "$@" >/dev/null 2>err.txt ) || rc=$?
  t1=$(date +%s.%N)
  rss=$(tail -1 rss.txt 2>/dev/null || echo "?")
  case $rss in ''|*[!0-9]*) rss="?";; *) rss=$((rss / 1024));; esac
  local secs
  secs=$(echo "$t1 - $t0" | bc)
  printf '%-24s %-14s %9.2f %8s %5s\n' "$label" "$cmd" "$secs" "$rss" "$rc"
  # The worst time and peak of each shape, over its commands.
  if [ -z "${worst_s[$label]:-}" ] || [ "$(echo "$secs > ${worst_s[$label]}" | bc)" = 1 ]; then
    worst_s[$label]=$secs; worst_s_cmd[$label]=$cmd
  fi
  if [ "$rss" != "?" ] && { [ -z "${worst_mb[$label]:-}" ] || [ "$rss" -gt "${worst_mb[$label]}" ]; }; then
    worst_mb[$label]=$rss; worst_mb_cmd[$label]=$cmd
  fi
}
declare -A worst_s worst_s_cmd worst_mb worst_mb_cmd
labels=()

echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')), load average $(cut -d' ' -f1-3 /proc/loadavg)"

printf '%-24s %-14s %9s %8s %5s\n' shape command seconds peak_MB exit
for f in plan20 plan1mb hugefreq hugefreq1mb line10mb bands1mb fields1mb columns1mb bandnumbers1mb headers1mb zero; do
  size=$(stat -L -c %s "$f.h2m" 2>/dev/null || echo 0)
  [ "$f" = zero ] && size=endless
  label="$f ($size)"
  labels+=("$label")
  cmd="summary"; run "$label" "$bin/vyrhost" decode --format summary "$f.h2m"
  if [ "$all" = --all ]; then
    cmd="jsonl"; run "$label" "$bin/vyrhost" decode --format jsonl "$f.h2m"
    cmd="text"; run "$label" "$bin/vyrhost" decode --format text "$f.h2m"
    cmd="export-csv"; run "$label" "$bin/vyrhost" export --csv "$f.h2m"
    cmd="export-jsonl"; run "$label" "$bin/vyrhost" export --jsonl "$f.h2m"
    cmd="export-geojson"; run "$label" "$bin/vyrhost" export --geojson "$f.h2m"
    cmd="export-sweeps"; run "$label" "$bin/vyrhost" export --sweeps "$f.h2m"
    cmd="report"; run "$label" "$bin/vyrhost" report -o report.html "$f.h2m"
    cmd="info"; run "$label" "$bin/vyrhost" info "$f.h2m"
    cmd="stats"; run "$label" "$bin/vyrhost" stats "$f.h2m"
  fi
done

echo
printf '%-24s %-24s %-24s\n' shape "worst seconds (command)" "worst peak MB (command)"
for label in "${labels[@]}"; do
  printf '%-24s %-24s %-24s\n' "$label" "$(printf '%.2f' "${worst_s[$label]}") (${worst_s_cmd[$label]})" \
    "${worst_mb[$label]:-?} (${worst_mb_cmd[$label]:-})"
done
