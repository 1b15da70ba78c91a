#!/usr/bin/env bash
# Installs the package as a user does, into a fresh virtual environment that
# sees Debian's NumPy and pybind11 (`python3 -m venv --system-site-packages`,
# then `pip install --no-build-isolation .` from the project root, offline),
# and decodes a sample with it from outside the source tree, against the
# command line. The build goes to a temporary folder (VYRHOST_BUILD_DIR); the
# source tree must be the same before and after (`git status --ignored`).
#
#   tests/python/install-test.sh SOURCE_DIR VYRHOST SAMPLE
set -euo pipefail

root=$(cd "$1" && pwd)
vyrhost=$2
sample=$3
python=${KEL_PYTHON:-/usr/bin/python3}

if ! "$python" -c 'import ensurepip, venv' 2>/dev/null; then
  echo "SKIPPED: $python cannot make a virtual environment with pip (Debian's package python3-venv)"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$python" -m venv --system-site-packages "$work/venv"

in_git=false
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  in_git=true
  git -C "$root" status --porcelain --ignored >"$work/tree-before"
fi

(cd "$root" && env -u PYTHONPATH VYRHOST_BUILD_DIR="$work/build" PIP_DISABLE_PIP_VERSION_CHECK=1 \
  "$work/venv/bin/python" -m pip install --no-build-isolation --no-index -q .) >"$work/pip.log" 2>&1 || {
  cat "$work/pip.log"
  echo "FAILED: pip install --no-build-isolation . did not succeed" >&2
  exit 1
}

if $in_git; then
  git -C "$root" status --porcelain --ignored >"$work/tree-after"
  diff -u "$work/tree-before" "$work/tree-after" || {
    echo "FAILED: installing wrote into the source tree" >&2
    exit 1
  }
fi

"$vyrhost" info --format json "$sample" >"$work/info.json"
"$vyrhost" decode --format jsonl "$sample" >"$work/decode.jsonl"
"$vyrhost" export --csv "$sample" >"$work/levels.csv"
mkdir "$work/elsewhere"
cd "$work/elsewhere"
env -u PYTHONPATH "$work/venv/bin/python" - "$sample" "$work" <<'PY'
import json, os, sys
import numpy as np
import vyrhost

sample, work = sys.argv[1], sys.argv[2]
site = os.path.join(work, "venv")
assert vyrhost.__file__.startswith(site), f"vyrhost imported from {vyrhost.__file__}, not the environment"
log = vyrhost.open(sample)
with open(os.path.join(work, "info.json")) as f:
    assert log.info() == json.load(f), "info() differs from vyrhost info --format json"
with open(os.path.join(work, "decode.jsonl")) as f:
    messages = [r for r in map(json.loads, f) if "index" in r]
assert list(log.messages()) == messages, "messages() differ from vyrhost decode --format jsonl"
levels = sum(int(np.count_nonzero(~np.isnan(b.level_dbm))) for b in log.bands())
with open(os.path.join(work, "levels.csv")) as f:
    assert levels == sum(1 for _ in f) - 1 > 0, "bands() hold other levels than vyrhost export --csv"
print(f"installed vyrhost decodes {os.path.basename(sample)}: {len(messages)} messages, {levels} levels")
PY
