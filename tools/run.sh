#!/usr/bin/env bash
# Installs what is missing, builds the program (which puts an empty store next to it when there
# is none) and starts it; under Xvfb when there is no display.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/tools/install-deps.sh"
"$top/tools/build.sh" --target quillby quillby_store
build=${QUILLBY_BUILD_DIR:-$top/build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a "$build/quillby"
fi
exec "$build/quillby"
