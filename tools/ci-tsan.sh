#!/usr/bin/env bash
# Continuous integration: builds the concurrency test, vyrhost, the plug-in
# and the generator with ThreadSanitizer (preset `tsan`) and runs the
# eight-thread load test and the `vyrhost decode --jobs` test. A data race or
# any other ThreadSanitizer report fails the run.
#
# Environment: KEL_TSAN_BUILD_DIR (default build/tsan), JOBS (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${KEL_TSAN_BUILD_DIR:-build/tsan}
JOBS=${JOBS:-2}
TESTS='^(ConcurrentLoads[.]|robustness_vyrhost_jobs$|robustness_vyrhost_pieces$)'

fail() {
  echo "ci-tsan: $*" >&2
  exit 1
}

bash tools/install-deps.sh  # cmake, ninja, g++ (with its ThreadSanitizer), GoogleTest, python3

cmake --preset tsan -B "$BUILD_DIR" >/dev/null || fail "configuring the tsan preset failed"
cmake --build "$BUILD_DIR" -j "$JOBS" --target robustness_concurrency_test vyrhost hytemgen ||
  fail "building the ThreadSanitizer targets failed"

export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
# ThreadSanitizer cannot map its shadow memory under some kernels' address
# randomisation; the test then runs with randomisation off.
runner=()
if ! "$BUILD_DIR/tests/robustness_concurrency_test" --gtest_list_tests >/dev/null 2>&1; then
  command -v setarch >/dev/null || fail "the ThreadSanitizer build does not start"
  runner=(setarch "$(uname -m)" -R)
  "${runner[@]}" "$BUILD_DIR/tests/robustness_concurrency_test" --gtest_list_tests >/dev/null ||
    fail "the ThreadSanitizer build does not start"
fi
"${runner[@]}" ctest --test-dir "$BUILD_DIR" -R "$TESTS" --no-tests=error --output-on-failure ||
  fail "concurrency tests failed under ThreadSanitizer"
echo "ci-tsan: no ThreadSanitizer report"
