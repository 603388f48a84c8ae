#!/usr/bin/env bash
# check-toolchains.sh CHECK...: compiles, links and runs a one-line program with each compiler
# and the flags the test command builds with, so that a missing runtime stops it at once with
# the package to install rather than deep inside CMake. CHECK is g++, clang-sanitize,
# clang-fuzzer or thread (ThreadSanitizer with g++ and with clang).
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
program='#include <string>
int main() { return std::string("x").size() == 1 ? 0 : 1; }'
fuzz_target='#include <cstddef>
extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, std::size_t) { return 0; }'

try() {  # PACKAGE SOURCE COMPILER FLAGS...
  local package=$1 source=$2 compiler=$3
  shift 3
  local what="$compiler${*:+ $*}"
  if ! command -v "$compiler" >/dev/null; then
    echo "$compiler is missing: install the Debian package $package (tools/install-deps.sh)" >&2
    exit 1
  fi
  if ! "$compiler" -x c++ -std=c++20 "$@" -o "$work/a.out" - <<<"$source" >"$work/log" 2>&1; then
    cat "$work/log" >&2
    echo "$what cannot build a one-line program: install the Debian package $package" >&2
    exit 1
  fi
  # A fuzz target run once on an empty input; the others with no arguments.
  if ! (cd "$work" && ./a.out -runs=1) >"$work/log" 2>&1; then
    cat "$work/log" >&2
    echo "a one-line program built by $what does not run" >&2
    exit 1
  fi
  echo "$what: compiles, links and runs"
}

sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all"
for check in "$@"; do
  case $check in
    g++) try g++ "$program" g++ ;;
    clang-sanitize)
      try clang "$program" clang++
      try libclang-rt-14-dev "$program" clang++ $sanitize
      ;;
    clang-fuzzer) try libclang-rt-14-dev "$fuzz_target" clang++ $sanitize -fsanitize=fuzzer ;;
    thread)
      try libgcc-12-dev "$program" g++ -fsanitize=thread
      try libclang-rt-14-dev "$program" clang++ -fsanitize=thread
      ;;
    *) echo "unknown check $check" >&2; exit 2 ;;
  esac
done
