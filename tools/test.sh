#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; then, unless QUILLBY_QUICK=1,
# runs the suite again built with AddressSanitizer and UndefinedBehaviorSanitizer (in
# $QUILLBY_BUILD_DIR-sanitize) and each fuzz target for a short time (tools/fuzz.sh).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUILLBY_BUILD_DIR:-$top/build}
"$top/tools/install-deps.sh"
"$top/tools/build.sh"
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300)
[ "${QUILLBY_QUICK:-0}" = 1 ] && exit 0

sanitize=$build-sanitize
cmake -S "$top" -B "$sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DQUILLBY_SANITIZE=ON -DQUILLBY_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$sanitize" -j2
(cd "$sanitize" &&
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS="suppressions=$top/tools/lsan.supp" \
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 600)
"$top/tools/fuzz.sh"
