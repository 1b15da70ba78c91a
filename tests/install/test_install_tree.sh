#!/usr/bin/env bash
# `cmake --install` into a temporary prefix, then the tree moved elsewhere:
# the installed vyrhost must find its plug-ins and host libraries from its own
# place and decode every sample exactly as the build tree's vyrhost does, and
# the installed Python package must import and decode too.
#   test_install_tree.sh BUILD_DIR SAMPLES_DIR PYTHON
set -euo pipefail
build=$1 samples=$2 python=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/staged" >/dev/null
mv "$work/staged" "$work/moved"
installed=$work/moved/bin/vyrhost

for type in HYTEM SWEEPCSV; do
  "$installed" formats | grep -q "^  $type " || { echo "installed vyrhost lists no $type type"; exit 1; }
done
# The installed generators, from their own place, write what the build tree's do.
for gen in "hytemgen --lines 50" "sweepgen --sweeps 3"; do
  cmp -s <("$work/moved/bin/"$gen) <("$build/bin/"$gen) || { echo "installed ${gen%% *} writes other bytes"; exit 1; }
done
for log in "$samples"/*.h??; do
  if ! cmp -s <("$installed" decode --format jsonl "$log") <("$build/bin/vyrhost" decode --format jsonl "$log"); then
    echo "installed vyrhost decodes $log differently"; exit 1
  fi
done

site=$(find "$work/moved/lib" -maxdepth 3 -type d -name vyrhost -path '*-packages/*' | head -n 1)
if [ -n "$python" ] && [ -n "$site" ]; then
  # Each sample's messages from the installed package, against the command line.
  for log in "$samples"/*.h??; do
    want=$(( $("$build/bin/vyrhost" decode --format jsonl "$log" | wc -l) - 1 ))
    got=$(cd "$work" && PYTHONPATH=$(dirname "$site") "$python" -c '
import sys, vyrhost
assert vyrhost.__file__.startswith(sys.argv[2]), "imported " + vyrhost.__file__
print(sum(1 for _ in vyrhost.open(sys.argv[1]).messages()))' "$log" "$site") ||
      { echo "installed Python package fails on $log"; exit 1; }
    [ "$got" = "$want" ] || { echo "installed package: $got messages of $log, the command line $want"; exit 1; }
  done
fi
echo "installed tree decodes every sample like the build tree"
