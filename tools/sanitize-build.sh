#!/usr/bin/env bash
# sanitize-build.sh [CMAKE-BUILD-ARGS...]: configures and builds the clang tree
# $QUILLBY_BUILD_DIR-sanitize (build-sanitize): the tests and the fuzz targets with
# AddressSanitizer and UndefinedBehaviorSanitizer, no benchmarks. tools/test.sh runs the suite
# there, tools/fuzz.sh the fuzz targets.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=${QUILLBY_BUILD_DIR:-$top/build}-sanitize
# A tree configured by another compiler (as older versions of the test command did) starts anew.
if [ -f "$tree/CMakeCache.txt" ] && ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++' "$tree/CMakeCache.txt"; then
  rm -rf "$tree/CMakeCache.txt" "$tree/CMakeFiles"
fi
# Line tables are all a sanitizer's stack trace needs, and much less to compile and link than -g.
CXX=clang++ cmake -S "$top" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-gline-tables-only -O1" -DQUILLBY_SANITIZE=ON \
  -DQUILLBY_BUILD_FUZZERS=ON -DQUILLBY_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$tree" -j2 "$@"
