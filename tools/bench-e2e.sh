#!/usr/bin/env bash
# End-to-end speed of `vyrhost decode --format summary` against reading the
# same file: `wc -l` (reading and counting lines), awk and mawk splitting the
# lines into tab-separated fields. Generates 100 MB logs with hytemgen (a scan
# with 400 levels per line, one with 4,000, and a four-channel log) into
# build/bench-data/, times the commands in turn, round after round, prints
# medians, ratios and the peak resident memory of vyrhost, then the table of
# goals against mawk (with `export --csv` and `report` of the 400-level scan
# against its decode), then one run of each output (time, peak memory and
# size of the report pages and of the CSV), then does the memory check on a
# 1 GB log (generated, measured, deleted).
#
#   tools/bench-e2e.sh [BIN_DIR]     BIN_DIR: vyrhost and hytemgen (default build/bench/bin)
#
# Environment: KEL_BENCH_ROUNDS (default 9), KEL_BENCH_SLOW_ROUNDS (rounds of
# export and report, default 3), KEL_BENCH_SIZE_MB (default 100),
# KEL_BENCH_SKIP_1G=1 to leave out the 1 GB log, KEL_BENCH_BASELINE=DIR to
# time the vyrhost of another build (an earlier release, say) beside this one
# and print both figures in the table.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build/bench/bin}" && pwd)
data=$root/build/bench-data
rounds=${KEL_BENCH_ROUNDS:-9}
slow_rounds=${KEL_BENCH_SLOW_ROUNDS:-3}
baseline=${KEL_BENCH_BASELINE:+$(cd "$KEL_BENCH_BASELINE" && pwd)}
size_mb=${KEL_BENCH_SIZE_MB:-100}
mkdir -p "$data"

for tool in vyrhost hytemgen; do
  [ -x "$bin/$tool" ] || { echo "bench-e2e: $bin/$tool is missing; build the bench preset first" >&2; exit 2; }
done
[ -z "$baseline" ] || [ -x "$baseline/vyrhost" ] || { echo "bench-e2e: $baseline/vyrhost is missing" >&2; exit 2; }
command -v mawk >/dev/null || { echo "bench-e2e: mawk is needed (Debian's package mawk)" >&2; exit 2; }
command -v python3 >/dev/null || { echo "bench-e2e: python3 is needed to time the runs" >&2; exit 2; }
# Peak resident memory comes from GNU time (Debian's package "time").
if [ ! -x /usr/bin/time ]; then
  echo "Installing Debian's time package for /usr/bin/time"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq time
fi

# Peak resident memory of one decode, in KiB.
peak_rss_kib() {
  /usr/bin/time -f %M -o "$work/rss" "$bin/vyrhost" decode --format summary "$1" >/dev/null
  cat "$work/rss"
}

# The logs: deterministic, so they are made once and kept.
gen() {
  local file=$1
  shift
  [ -s "$data/$file" ] || "$bin/hytemgen" --shape fixed "$@" --size "$size_mb" -o "$data/$file"
}
gen scan400.h2m --kind scan --bins 400
gen scan4000.h2m --kind scan --bins 4000
gen channels.h1m --kind channels

# Times commands on one file, alternating them in every round, and prints one
# line per command: median, fastest and slowest wall time, median CPU time.
# Commands start with posix_spawn (standard output to /dev/null, standard
# error to a file that is shown when the command fails), and each run's CPU
# time comes from wait4. Arguments: rounds, file, then NAME=ARGV
# pairs where ARGV is the command with @ for the file, words split at "|".
time_commands() {
  python3 - "$@" <<'PY'
import os, statistics, sys, tempfile, time

rounds = int(sys.argv[1])
file = sys.argv[2]
commands = {}
for entry in sys.argv[3:]:
    name, argv = entry.split("=", 1)
    commands[name] = [file if word == "@" else word for word in argv.split("|")]
runs = {name: [] for name in commands}
errors = tempfile.NamedTemporaryFile(prefix="bench-e2e-stderr.")
for r in range(rounds):
    for name, argv in commands.items():
        start = time.perf_counter()
        pid = os.posix_spawnp(argv[0], argv, os.environ,
                              file_actions=[(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0),
                                            (os.POSIX_SPAWN_OPEN, 2, errors.name, os.O_WRONLY | os.O_TRUNC, 0)])
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
        if status != 0:
            sys.exit(f"bench-e2e: {' '.join(argv)} failed: {open(errors.name, errors='replace').read()}")
        runs[name].append((wall, usage.ru_utime + usage.ru_stime))
for name, values in runs.items():
    walls = [v[0] for v in values]
    cpus = [v[1] for v in values]
    print(f"{name}\t{statistics.median(walls):.4f}\t{min(walls):.4f}\t{max(walls):.4f}\t"
          f"{statistics.median(cpus):.4f}")
PY
}

decode_cmds() {  # the decode of this build, and of the baseline build when given
  echo "vyrhost=$bin/vyrhost|decode|--format|summary|@"
  [ -z "$baseline" ] || echo "baseline vyrhost=$baseline/vyrhost|decode|--format|summary|@"
}

work=$(mktemp -d)
big=$data/scan400-1g.h2m
trap 'rm -rf "$work"; rm -f "$big"' EXIT
# The machine and how busy it is: the figures are only as quiet as the machine.
machine() {
  local model
  model=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
  echo "$(date -u '+%Y-%m-%d %H:%M UTC'), ${model:-unknown CPU}, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
}
echo "Machine: $(machine)"
echo "vyrhost decode --format summary against wc -l, awk and mawk; $rounds rounds, median wall times"
echo "(spread: fastest..slowest run; the machine may be shared, so compare medians)"
echo
for f in scan400.h2m scan4000.h2m channels.h1m; do
  mapfile -t cmds < <(decode_cmds)
  time_commands "$rounds" "$data/$f" "${cmds[@]}" "wc -l=wc|-l|@" "awk=awk|-F\t|{n+=NF} END{print n}|@" \
    "mawk=mawk|-F\t|{n+=NF} END{print n}|@" >"$work/runs"
  sed "s/^/$f\t/" "$work/runs" >>"$work/all"
  python3 - "$f" "$(stat -c %s "$data/$f")" "$work/runs" "$work/summary" "$(peak_rss_kib "$data/$f")" <<'PY'
import sys
name, size, path, summary, rss = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], int(sys.argv[5])
rows = {}
for line in open(path):
    cmd, med, lo, hi, cpu = line.rstrip("\n").split("\t")
    rows[cmd] = (float(med), float(lo), float(hi), float(cpu))
mb = size / 1048576
print(f"{name} ({mb:.1f} MiB)")
for cmd, (med, lo, hi, cpu) in rows.items():
    print(f"  {cmd:9s} {med * 1000:8.1f} ms  ({lo * 1000:.1f}..{hi * 1000:.1f})  {mb / med:8.1f} MiB/s"
          f"  cpu {cpu * 1000:.1f} ms")
v, w, a = rows["vyrhost"][0], rows["wc -l"][0], rows["awk"][0]
print(f"  vyrhost / wc -l = {v / w:.1f}x   vyrhost / awk = {v / a:.2f}x   "
      f"vyrhost {v / mb * 1000:.2f} ms per MiB, peak RSS {rss / 1024:.1f} MiB")
print()
with open(summary, "a") as out:
    out.write(f"{name}\t{v / w}\t{v / mb}\t{rss}\n")
PY
done

python3 - "$work/summary" <<'PY'
import sys
rows = {}
for line in open(sys.argv[1]):
    name, ratio, per_mb, rss = line.split("\t")
    rows[name] = (float(ratio), float(per_mb), int(rss))
def verdict(ok):
    return "met" if ok else "NOT met"
s400, s4000, ch = rows["scan400.h2m"], rows["scan4000.h2m"], rows["channels.h1m"]
print("Targets")
print(f"  400-level scan within 20x wc -l:          {s400[0]:.1f}x  {verdict(s400[0] <= 20)}")
print(f"  4,000 levels per MiB within 1.2x of 400:  {s4000[1] / s400[1]:.2f}x  {verdict(s4000[1] / s400[1] <= 1.2)}")
print(f"  four-channel log within 25x wc -l:        {ch[0]:.1f}x  {verdict(ch[0] <= 25)}")
peak = max(r[2] for r in rows.values()) / 1024
print(f"  peak RSS under 64 MiB (100 MiB logs):     {peak:.1f} MiB  {verdict(peak < 64)}")
PY

# export --csv and report of the 400-level scan, each against the decode of
# the same build, timed together.
slow_cmds() {  # $1: the vyrhost, $2: a name prefix
  echo "${2}decode=$1|decode|--format|summary|@"
  echo "${2}export=$1|export|--csv|@"
  echo "${2}report=$1|report|-o|$work/${2}report.html|@"
}
mapfile -t cmds < <(slow_cmds "$bin/vyrhost" ""; [ -z "$baseline" ] || slow_cmds "$baseline/vyrhost" "baseline ")
time_commands "$slow_rounds" "$data/scan400.h2m" "${cmds[@]}" | sed "s/^/scan400.h2m\t/" >>"$work/all"

echo
python3 - "$work/all" "$(date -u +%Y-%m-%d)" "$(nproc)" "$rounds" "$slow_rounds" <<'PY'
import sys
path, day, cores, rounds, slow_rounds = sys.argv[1:]
med, cpu = {}, {}
for line in open(path):
    f, cmd, m, lo, hi, c = line.rstrip("\n").split("\t")
    med[(f, cmd)] = float(m)
    cpu[(f, cmd)] = float(c)
base = any(cmd.startswith("baseline") for _, cmd in med)
print(f"Goals, {day}, {cores} cores; medians of {rounds} rounds (export and report: {slow_rounds});")
print("mawk: mawk -F'\\t' '{n+=NF} END{print n}' over the same log; cells: median wall time = ratio")
print("(the goal), then the ratio of the median CPU times, steadier on a busy machine")
print()
head = "| 100 MB log | vyrhost | " + ("baseline | " if base else "") + "this build | goal |"
print(head)
print("|" + "---|" * (head.count("|") - 1))
def row(label, command, f, cmd, ref, ref_name, goal):
    def cell(prefix, times=med):
        key = (f, prefix + ref) if ref != "mawk" else (f, "mawk")
        v, r = times.get((f, prefix + cmd)), times.get(key)
        return (v, v / r) if v is not None and r else (None, None)
    cells = []
    for prefix in (["baseline "] if base else []) + [""]:
        v, x = cell(prefix)
        _, cx = cell(prefix, cpu)
        cells.append(f"{v:.2f} s = {x:.2f}x {ref_name}, cpu {cx:.2f}x" if v is not None else "-")
    _, x = cell("")
    verdict = "met" if x is not None and x <= goal else "NOT met"
    print(f"| {label} | `{command}` | " + " | ".join(cells) + f" | <= {goal}x: {verdict} |")
row("scan, 400 levels per line", "decode --format summary", "scan400.h2m", "vyrhost", "mawk", "mawk", 1.5)
row("four channels, 11 columns", "decode --format summary", "channels.h1m", "vyrhost", "mawk", "mawk", 2.5)
row("scan, 400 levels per line", "export --csv", "scan400.h2m", "export", "decode", "decode", 4)
row("scan, 400 levels per line", "report", "scan400.h2m", "report", "decode", "decode", 1.3)
PY
echo

# One run each of the outputs themselves: wall time and peak memory of
# vyrhost (GNU time) and the size of what it wrote; the CSV goes through a
# pipe into wc, which counts its lines and bytes.
print_run() {  # $1: label, $2: bytes written, $3: more to say
  read -r wall rss <"$work/one"
  python3 - "$1" "$wall" "$rss" "$2" "$3" <<'PY'
import sys
label, wall, rss, size, more = sys.argv[1], float(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
print(f"  {label:28s} {wall:6.2f} s  peak RSS {rss / 1024:5.1f} MiB  {size / 1e6:7.1f} MB{more}")
PY
}
echo "Outputs of the ${size_mb} MiB logs, one run each (wall time, peak RSS of vyrhost, size written)"
for f in scan400.h2m channels.h1m; do
  /usr/bin/time -f "%e %M" -o "$work/one" "$bin/vyrhost" report -o "$work/page.html" "$data/$f" 2>/dev/null
  print_run "report of $f" "$(stat -c %s "$work/page.html")" ""
done
/usr/bin/time -f "%e %M" -o "$work/one" "$bin/vyrhost" export --csv "$data/scan400.h2m" | wc -lc >"$work/count"
read -r lines bytes <"$work/count"
print_run "export --csv of scan400.h2m" "$bytes" "  $((lines - 1)) rows"
echo

if [ "${KEL_BENCH_SKIP_1G:-0}" != 1 ]; then
  "$bin/hytemgen" --shape fixed --kind scan --bins 400 --size 1024 -o "$big"
  start=$(date +%s.%N)
  rss=$(peak_rss_kib "$big")
  python3 - "$start" "$(date +%s.%N)" "$rss" "$(stat -c %s "$big")" <<'PY'
import sys
wall = float(sys.argv[2]) - float(sys.argv[1])
rss, size = int(sys.argv[3]) / 1024, int(sys.argv[4]) / 1048576
print(f"  peak RSS under 64 MiB (a {size:.0f} MiB scan log, decoded in {wall:.1f} s): "
      f"{rss:.1f} MiB  {'met' if rss < 64 else 'NOT met'}")
PY
  rm -f "$big"
fi
echo "Machine at the end: $(machine)"
