#!/usr/bin/env bash
# Decodes a fixed set of logs (the samples, generated logs of every kind with
# LF and CR LF line ends, and hand-made logs full of unusual number texts and
# payload delimiters) in every output format, exports (in every export format),
# reports and takes the statistics of them,
# so that two builds can be compared byte for byte:
#
#   bench/reference-outputs.sh BIN_DIR OUT_DIR
#
# BIN_DIR holds vyrhost, hytemgen and plugins/. Compare two runs with
# `diff -r OUT_A/out OUT_B/out`.
set -euo pipefail

bin=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out/in" "$out/out"
in=$out/in

# The fixed shape: the generated logs of every version are the same bytes.
gen() { "$bin/hytemgen" --shape fixed "$@"; }
gen --kind scan --bins 400 --lines 300 -o "$in/gen_scan400.h2m"
gen --kind scan --bins 400 --lines 300 --seed 7 --crlf -o "$in/gen_scan400_crlf.h2m"
gen --kind scan --bins 4000 --lines 30 -o "$in/gen_scan4000.h2m"
gen --kind scan --bands 3 --bins 50 --lines 500 --crlf -o "$in/gen_scan3bands_crlf.h2m"
gen --kind channels --lines 3000 -o "$in/gen_channels.h1m"
gen --kind channels --lines 3000 --seed 3 --crlf -o "$in/gen_channels_crlf.h1m"
gen --kind stats --lines 3000 -o "$in/gen_stats.h1s"
gen --kind stats --lines 3000 --seed 5 --crlf -o "$in/gen_stats_crlf.h1s"
cp "$src"/samples/*.h?? "$in/"

# Number texts that only the standard conversions read right: white space,
# signs, hexadecimal, infinities and NaNs, out-of-range values, long digit
# strings, ties, trailing junk.
odd_numbers=(
  "+5" " -3" "0x1A" "-0x1p3" "0X.8p1" "inf" "-INF" "nan" "NaN(12)" "infinity" "1e400" "-1e400" "1e-400"
  "4.9e-324" "2.2250738585072011e-308" "-0" "-0.0" "12.7abc" "1." ".5" "-.5" "." "-" "+" "e5" "1e" "1e+"
  "1e-5" "1E5" "123456789012345678901234567890" "0.1000000000000000055511151231257827" "9007199254740993"
  "-9007199254740993.5" "00012.50" "-00.000" "  +.5e-2x" "1_0" "-140" "-140.00000000000001" "-139.99999999999999"
  "-140.5" "-75.0625" "0.0625" "2.5" "-2.5" "1x" "0x" "-0x" "0e" "17976931348623157e292" "9999999999999999999"
  "18446744073709551616" "-2147483649" "2147483648" "4294967296" "99999999999" $'\v-7.5' $'\f8' $'\r9' $'\n'
)
{
  printf 'HYTEM Software - V2.4.1\n'
  printf 'nbScannedBandwidths = 2\nstartFrequencies1 = 400.000\nstopFrequencies1 = 400.800\nfrequencyStep1 = 200\n'
  printf 'startFrequencies2 = +4.508e2\nstopFrequencies2 = 451.6\nfrequencyStep2 = 0x64\n'
  printf 'indexBand = +1\nnbFrequencies = 0x10\nbandWidth =  200kHz\ncommand = 99999999999\n'
  printf 'delayBetweenMeasurement = +500\n'
  printf 'Time\tDate\tLatitude\tNS\tLongitude\tWE\tValidity\tBandNumber\tLevels\n'
  i=0
  for v in "${odd_numbers[@]}"; do
    band=$(( i % 2 + 1 ))
    printf '08:00:%02d\t03/15/05\t48.%04d\tN\t2.2104\tE\t1\t%s\t%s\t-60.5\t%s\t-70\n' $(( i % 60 )) $i $band "$v" "$v"
    i=$(( i + 1 ))
  done
  for b in "+2" " 2" "2.9" "0x2" "99999999999" "-1" "0" "" "x"; do
    printf '08:01:00\t03/15/05\t48.5\tN\t2.2\tE\t1\t%s\t-50\t-60\t-70\n' "$b"
  done
  for t in "08:00:00.0005" " 8:00:00" "8:0" "123" "12.3" "34:56.7" "08:00:01.999999999999" "08:00:0x1" \
           "08:00:+1.5" "08:00: 1" "08:00:1e1" "08:00:inf" "08:00:nan" "99:99:99" "08:00:01.001"; do
    printf '%s\t03/15/05\t48.5\tS\t2.2\tW\t2\t1\t-50\t-60\n' "$t"
  done
  for c in "+48.5112" "48.5e1" " 48.51" "-48.51" "0x30.8" "inf.5" "48." "nan.3" "1e3.5" "48.1e400"; do
    printf '08:02:00\t03/15/05\t%s\tS\t%s\tW\t3\t1\t-50\n' "$c" "$c"
  done
  for v in "+1" " 2" "0x3" "4abc" "99999999999" "-2" "1.9"; do
    printf '08:03:00\t03/15/05\t48.5\tN\t2.2\tE\t%s\t1\t-50\n' "$v"
  done
  # Payload delimiters and empty fields inside the values.
  printf '08:04:00\t03/15/05\t48.5\tN\t2.2\tE\t1\t1\t-50;-60\t-70^x\t-80,-90\n'
  printf '08:04:01\t03/15/05\t48.5\tN\t2.2\tE\t1\t1^2\t-50\n'
  printf '08:04:02\t03/15/05\t48.5\tN\t2.2\tE\t1\t1\t\t-60\t-70\n'
  printf '08:04:03\t03/15/05\t48.5\tN\t2.2\tE\t1\t1\t-60\t\t-70\n'
  printf '08:04:04\t03/15/05\n'
  printf '\n'
  # A resumed scan with duplicate and delimiter-bearing column names.
  printf 'HYTEM Software - V2.5 - beta\nnbScannedBandwidths = 1\nstartFrequencies1 = 100.0\n'
  printf 'stopFrequencies1 = 100.1\nfrequencyStep1 = 25\n'
  printf 'Date\tTime\tLevels\tBandNumber\tLevels\n'
  printf '03/15/05\t08:05:00\t-70\t1\t-95.5\t-60\t+5\n'
  printf '03/15/05\t08:05:01\t-70;\t1\t-95.5\t-60^\t0x10\n'
  printf 'HYTEM Software - V3\nnbScannedBandwidths = 1\n'
  printf 'Date\tTi^me\tBand;Number\tLevels\n'
  printf '03/15/05\t08:06:00\t1\t-70\t-80\n'
  printf 'HYTEM Software - V4\n\n'
  printf '08:07:00\t03/15/05\t1\t-70\n'
} >"$in/odd_scan.h2m"

{
  printf 'HYTEM Software - V2.4.1\n'
  printf 'frequency1 = +2.412e3\nfrequency2 = 0x1p11\nfrequency3 =  2462.000\nfrequency4 = inf\n'
  printf 'bandWidth = 22000\ncommand = +1\ndelayBetweenMeasurement = 250\n'
  printf 'Time\tDate\tLatitude\tNS\tLongitude\tWE\tValidity\tLevel1\tLevel2\tLevel3\tLevel4\n'
  i=0
  for v in "${odd_numbers[@]}"; do
    printf '14:02:%02d.%03d\t06/21/04\t47.1248\tN\t1.3307\tW\t1\t%s\t-78.0\t%s\t-141\n' $(( i % 60 )) $i "$v" "$v"
    i=$(( i + 1 ))
  done
} >"$in/odd_channels.h1m"

{
  printf 'HYTEM Software - V2.3.0\nfrequency1 = 946.200\nbandWidth = 0x20\ncommand = 4\n'
  printf 'Time\tDate\tLatitude\tNS\tLongitude\tWE\tValidity\tAverage\tColorAv\tMinimum\tColorMin\tMaximum\tColorMax\tMedian\tStdDev\tColorMed\n'
  i=0
  for v in "${odd_numbers[@]}"; do
    printf '07:45:%02d\t11/02/98\t33.5210\tS\t151.1245\tE\t1\t%s\t3\t%s\t1\t%s\t5\t%s\t%s\t3\n' \
      $(( i % 60 )) "$v" "$v" "$v" "$v" "$v"
    i=$(( i + 1 ))
  done
} >"$in/odd_stats.h1s"

cd "$in"
for f in *.h??; do
  "$bin/vyrhost" decode --format jsonl "$f" >"$out/out/$f.jsonl" 2>&1 || true
  "$bin/vyrhost" decode --format text "$f" >"$out/out/$f.txt" 2>&1 || true
  "$bin/vyrhost" decode --format summary "$f" >"$out/out/$f.summary" 2>&1 || true
  "$bin/vyrhost" decode --format jsonl --level-threshold -90 "$f" >"$out/out/$f.t90.jsonl" 2>&1 || true
  "$bin/vyrhost" export --csv "$f" >"$out/out/$f.export.csv" 2>&1 || true
  "$bin/vyrhost" export --jsonl "$f" >"$out/out/$f.export.jsonl" 2>&1 || true
  "$bin/vyrhost" export --geojson "$f" >"$out/out/$f.export.geojson" 2>&1 || true
  "$bin/vyrhost" export --sweeps "$f" >"$out/out/$f.export.sweeps.csv" 2>&1 || true
  { "$bin/vyrhost" report -o "$out/out/$f.report.html" "$f" 2>&1 || true; } | sed "s|$out/||" >"$out/out/$f.report.log"
  "$bin/vyrhost" stats --csv "$f" >"$out/out/$f.stats.csv" 2>&1 || true
  "$bin/vyrhost" stats --by band --jsonl --above -90 "$f" >"$out/out/$f.stats.band.jsonl" 2>&1 || true
done
"$bin/vyrhost" stats --jsonl gen_scan400.h2m odd_scan.h2m gen_channels.h1m >"$out/out/several.stats.jsonl" 2>&1 || true
# Several logs in one export.
for format in csv geojson sweeps; do
  "$bin/vyrhost" export --$format gen_scan400.h2m odd_scan.h2m gen_channels.h1m >"$out/out/several.export.$format" 2>&1 || true
done
