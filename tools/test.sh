#!/usr/bin/env bash
# Installs what is missing, checks the compilers, builds everything and runs every test; then,
# unless QUILLBY_QUICK=1, builds the suite and the fuzz targets with clang's AddressSanitizer and
# UndefinedBehaviorSanitizer in $QUILLBY_BUILD_DIR-sanitize, runs the suite there and each fuzz
# target for a short time (tools/fuzz.sh). Each stage prints its time; the last line sums up all
# stages, also when one fails.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUILLBY_BUILD_DIR:-$top/build}
quick=${QUILLBY_QUICK:-0}

summary=()
stage=""
stage_start=0
started=$SECONDS
run_stage() {  # NAME COMMAND...
  stage=$1
  stage_start=$SECONDS
  echo "== $stage: started"
  shift
  "$@"
  summary+=("$stage passed $((SECONDS - stage_start)) s")
  echo "== $stage: passed in $((SECONDS - stage_start)) s"
  stage=""
}
finish() {
  local rc=$?
  if [ -n "$stage" ]; then
    echo "== $stage: FAILED after $((SECONDS - stage_start)) s"
    summary+=("$stage FAILED $((SECONDS - stage_start)) s")
  fi
  local line="nothing ran"
  [ ${#summary[@]} -eq 0 ] || printf -v line '%s, ' "${summary[@]}"
  echo "== summary: ${line%, }; $((SECONDS - started)) s in all"
  exit "$rc"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Most of the suite's time is spent waiting on servers and timers: twice as many tests as cores
# at a time (50 s instead of 61 with two, measured while the machine was busy building).
suite() {  # BUILD_DIR CTEST_TIMEOUT
  (cd "$1" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$((2 * $(nproc))) --timeout "$2")
}
sanitized_suite() {
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS="suppressions=$top/tools/lsan.supp" suite "$build-sanitize" 600
}

checks=(g++)
[ "$quick" = 1 ] || checks+=(clang-sanitize clang-fuzzer thread)

run_stage packages "$top/tools/install-deps.sh"
run_stage toolchains "$top/tools/check-toolchains.sh" "${checks[@]}"
run_stage build "$top/tools/build.sh"
run_stage suite suite "$build" 300
[ "$quick" = 1 ] && exit 0
run_stage sanitizer-build "$top/tools/sanitize-build.sh"
run_stage sanitizer-suite sanitized_suite
run_stage fuzzing "$top/tools/fuzz.sh"
if [ -x "$top/tools/tsan.sh" ]; then run_stage thread-sanitizer "$top/tools/tsan.sh"; fi
