#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ in the clang sanitizer tree $QUILLBY_BUILD_DIR-sanitize
# (tools/sanitize-build.sh: AddressSanitizer and UndefinedBehaviorSanitizer with leak detection)
# and runs each on its seed corpus, then fuzzes it for QUILLBY_FUZZ_SECONDS (5) seconds, as many
# targets at a time as there are cores; or only the targets named on the command line. Fails on
# any crash, leak, sanitizer report or time-out; the input that caused it is kept in the tree's
# artifacts/.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUILLBY_BUILD_DIR:-$top/build}-sanitize
seconds=${QUILLBY_FUZZ_SECONDS:-5}
"$top/tools/sanitize-build.sh" --target fuzzers
targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(cd "$top/fuzz/corpus" && ls)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fuzz() {  # TARGET: its seeds, then QUILLBY_FUZZ_SECONDS of new inputs
  local target=$1
  # New inputs go to a scratch corpus; the seeds in the tree stay as they are. libFuzzer runs
  # every input of both before it checks its time limit.
  local work="$build/corpus/$target" artifacts="$build/artifacts/$target/"
  mkdir -p "$work" "$artifacts"
  "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$artifacts" \
    "$work" "$top/fuzz/corpus/$target" 2>"$build/$target.log" ||
    { tail -n 60 "$build/$target.log"; echo "$target failed; see $artifacts" >&2; return 1; }
  echo "== $target: $(grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' \
    "$build/$target.log" | tr -s ' \n' ' ')"
}
# A target runs on one core: as many at a time as there are cores.
jobs=$(nproc)
failed=0
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  echo "== $target: ${seconds} s"
  fuzz "$target" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit "$failed"
