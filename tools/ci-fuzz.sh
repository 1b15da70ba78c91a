#!/usr/bin/env bash
# Continuous integration: builds the libFuzzer targets (preset `fuzz`, Debian's
# clang 14 with the address and undefined-behaviour sanitizers) and runs each
# target for about a minute from its committed corpus (fuzz/corpus/<target>)
# and the inputs it once failed on (tests/robustness/regressions/<target>).
# Any crash, sanitizer report, failed check, slow input or memory excess fails
# the script; the failing input is kept under <build dir>/fuzz-artifacts.
#
# Environment: KEL_FUZZ_BUILD_DIR (default build/fuzz), KEL_FUZZ_SECONDS
# (default 60 per target), JOBS (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${KEL_FUZZ_BUILD_DIR:-build/fuzz}
SECONDS_PER_TARGET=${KEL_FUZZ_SECONDS:-60}
JOBS=${JOBS:-2}

fail() {
  echo "ci-fuzz: $*" >&2
  exit 1
}

# What the build needs: cmake and ninja (tools/install-deps.sh), clang++ and
# its libFuzzer runtime.
bash tools/install-deps.sh
need=()
command -v clang++ >/dev/null || need+=(clang)
compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null || need+=(libclang-rt-dev)
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}"
fi

cmake --preset fuzz -B "$BUILD_DIR" >/dev/null || fail "configuring the fuzz preset failed"
cmake --build "$BUILD_DIR" -j "$JOBS" --target fuzz_whole_log fuzz_payload fuzz_text_rules fuzz_sweep_csv fuzz_cli_outputs ||
  fail "building the fuzz targets failed"

ARTIFACTS="$BUILD_DIR/fuzz-artifacts"
mkdir -p "$ARTIFACTS"
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_target() {
  local target=$1 max_len=$2
  local work
  work=$(mktemp -d)  # new inputs go here: the committed corpus stays as it is
  local corpora=("$work" "fuzz/corpus/$target")
  [ -d "tests/robustness/regressions/$target" ] && corpora+=("tests/robustness/regressions/$target")
  echo "== fuzz_$target: ${SECONDS_PER_TARGET} s"
  local rc=0
  "$BUILD_DIR/fuzz/fuzz_$target" "${corpora[@]}" -dict=fuzz/hytem.dict -max_len="$max_len" \
    -max_total_time="$SECONDS_PER_TARGET" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$ARTIFACTS/$target-" >"$ARTIFACTS/$target.log" 2>&1 || rc=$?
  rm -rf "$work"
  grep -E "^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb)" "$ARTIFACTS/$target.log" || true
  if [ "$rc" -ne 0 ]; then
    tail -n 60 "$ARTIFACTS/$target.log" >&2
    fail "fuzz_$target failed (exit $rc); inputs kept in $ARTIFACTS"
  fi
}

run_target whole_log 8192
run_target payload 8192
run_target text_rules 512
run_target sweep_csv 8192
run_target cli_outputs 8192
echo "ci-fuzz: all targets ran clean"
