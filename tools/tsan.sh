#!/usr/bin/env bash
# Builds the tests that run network conversations beside the GUI thread with ThreadSanitizer
# (in $QUILLBY_BUILD_DIR-tsan): the sending tabs' tests, and the end-to-end run of the program
# itself, and runs them with nothing suppressed. Qt and GLib are not built with it: their threads
# hand work over with a synchronisation it cannot see (Qt's thread pool scales the window's
# pictures in slices), so the memory calls made from inside them are not taken as accesses
# (ignore_noninstrumented_modules); every access of the program's own code is.
set -euo pipefail
# Line tables (-g1) are all a report's stack needs, and a quarter less to build than -g.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUILLBY_BUILD_DIR:-$top/build}
tsan=$build-tsan
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$top" -B "$tsan" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-g1 -O1" -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DQUILLBY_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$tsan" -j2 --target test_desktop test_end_to_end quillby
# A report fails the test that caused it.
(cd "$tsan" &&
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ignore_noninstrumented_modules=1" \
    QT_QPA_PLATFORM=offscreen ctest -R '^SendingTabsTest\.|^end_to_end$' --output-on-failure \
    -j2 --timeout 300)
