#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ in the clang sanitizer tree $QUILLBY_BUILD_DIR-sanitize
# (tools/sanitize-build.sh: AddressSanitizer and UndefinedBehaviorSanitizer with leak detection)
# and runs each on its seed corpus, then fuzzes it for QUILLBY_FUZZ_SECONDS (5) seconds; or only
# the targets named on the command line. Fails on any crash, leak, sanitizer report or time-out;
# the input that caused it is kept in the tree's artifacts/.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUILLBY_BUILD_DIR:-$top/build}-sanitize
seconds=${QUILLBY_FUZZ_SECONDS:-5}
"$top/tools/sanitize-build.sh" --target fuzzers
targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(cd "$top/fuzz/corpus" && ls)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "${targets[@]}"; do
  # New inputs go to a scratch corpus; the seeds in the tree stay as they are. libFuzzer runs
  # every input of both before it checks its time limit.
  work="$build/corpus/$target"
  artifacts="$build/artifacts/$target/"
  mkdir -p "$work" "$artifacts"
  echo "== $target: ${seconds} s"
  "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$artifacts" \
    "$work" "$top/fuzz/corpus/$target" 2>"$build/$target.log" ||
    { tail -n 60 "$build/$target.log"; echo "$target failed; see $artifacts" >&2; exit 1; }
  grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec)' "$build/$target.log"
done
