#!/usr/bin/env bash
# Report pages of logs of many bands: a log of 600 bands and one of 3,333
# (two bins each, one measurement line per band), and a campaign of LOGS logs
# (default 200) of 600 bands. For each: the report's wall time and peak
# memory (/usr/bin/time), the page size, and the seconds until headless
# Chromium has drawn it (bench/page-open-time.py; skipped without Chromium).
#
#   bench/many-bands.sh [BIN_DIR] [WORK_DIR] [LOGS]
set -euo pipefail

bin=$(cd "${1:-build/bin}" && pwd)
work=${2:-$(mktemp -d)}
logs=${3:-200}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
cd "$work"

/usr/bin/python3 - <<'EOF'
def write(name, bands):
    out = ["HYTEM Software - V2.4.1", f"nbScannedBandwidths = {bands}"]
    for b in range(1, bands + 1):
        start = 100 + 0.5 * b
        out += [f"startFrequencies{b} = {start:.3f}", f"stopFrequencies{b} = {start + 0.2:.3f}", f"frequencyStep{b} = 200"]
    out += ["delayBetweenMeasurement = 500", "Time\tDate\tLatitude\tNS\tLongitude\tWE\tValidity\tBandNumber\tLevels"]
    for b in range(1, bands + 1):
        s = b // 2
        out.append(f"{9 + s // 3600:02d}:{s // 60 % 60:02d}:{s % 60:02d}\t03/15/05\t{4851.12 + b * 0.001:.4f}\tN\t"
                   f"{221.06 + b * 0.001:.4f}\tE\t1\t{b}\t-{70 + b % 20}.5\t-{80 + b % 7}.0")
    with open(name, "w") as f:
        f.write("\n".join(out) + "\n")

write("bands600.h2m", 600)
write("bands3333.h2m", 3333)
EOF
for i in $(seq 1 "$logs"); do ln -sf bands600.h2m "camp$i.h2m"; done

measure() {
  local name=$1
  shift
  /usr/bin/time -f "%e %M" -o time.txt "$bin/vyrhost" report -o "$name.html" "$@" 2> /dev/null
  read -r wall kb < time.txt
  local drawn="(no chromium)"
  if command -v chromium > /dev/null; then
    drawn="$(/usr/bin/python3 "$here/page-open-time.py" "$name.html" 2> /dev/null) s" || drawn="(not drawn within 120 s)"
  fi
  printf '%-28s report %6.2f s, %5d MB peak, page %6.1f MB, drawn in %s\n' "$name ($(du -kL --apparent-size "$1" | cut -f1) KB log)" \
    "$wall" $((kb / 1024)) "$(echo "scale=1; $(stat -c %s "$name.html") / 1000000" | bc)" "$drawn"
}

echo "$(uname -m), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
measure bands600 bands600.h2m
measure bands3333 bands3333.h2m
measure "campaign of $logs" camp*.h2m
