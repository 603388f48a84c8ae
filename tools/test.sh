#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/tools/install-deps.sh"
"$top/tools/build.sh"
cd "${QUILLBY_BUILD_DIR:-$top/build}"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300
