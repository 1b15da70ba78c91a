#!/usr/bin/env bash
# A small demonstration campaign: a morning of survey drives through Paris
# (three scans, a Wi-Fi channel log and a GSM statistics log, about 6 MB),
# generated with hytemgen, and its report page from `vyrhost report`.
#
#   tools/make-demo.sh [BIN_DIR [OUT_DIR]]   default build/bin and build/demo
#
# Prints where the page is. The same build always writes the same logs.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build/bin}" && pwd)
out=${2:-$root/build/demo}
for tool in vyrhost hytemgen; do
  [ -x "$bin/$tool" ] || { echo "make-demo: $bin/$tool is missing; build first (make build)" >&2; exit 2; }
done
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/*.h2m "$out"/*.h1m "$out"/*.h1s

gen() { "$bin/hytemgen" "$@"; }
gen --kind scan --bands 2 --bins 400 --lines 720 --seed 11 --start 2024-05-14T08:30:00 \
  --origin 48.8530,2.3499 -o "$out/drive1_centre.h2m"
gen --kind scan --bands 2 --bins 400 --lines 720 --seed 12 --start 2024-05-14T09:05:00 \
  --origin 48.8675,2.3630 -o "$out/drive2_north.h2m"
gen --kind scan --bands 3 --bins 250 --lines 900 --seed 13 --start 2024-05-14T09:40:00 \
  --origin 48.8400,2.3200 -o "$out/drive3_south_west.h2m"
gen --kind channels --lines 2400 --seed 14 --start 2024-05-14T10:20:00 \
  --origin 48.8610,2.3360 -o "$out/wifi_louvre.h1m"
gen --kind stats --lines 900 --seed 15 --start 2024-05-14T10:40:00 \
  --origin 48.8460,2.3720 -o "$out/gsm_bercy.h1s"

"$bin/vyrhost" report -o "$out/campaign.html" "$out"/*.h2m "$out"/*.h1m "$out"/*.h1s
echo "Demo campaign: $(du -sh --exclude=campaign.html "$out" | cut -f1) of logs in $out"
echo "Report page: file://$out/campaign.html"
