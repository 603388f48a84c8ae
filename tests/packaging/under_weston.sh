#!/usr/bin/env bash
# under_weston.sh COMMAND...: runs COMMAND as a client of a headless Weston compositor of its own
# on Qt's Wayland platform, then stops the compositor.
set -euo pipefail
runtime=$(mktemp -d)
chmod 700 "$runtime"
weston_pid=""
cleanup() {
  if [ -n "$weston_pid" ]; then kill "$weston_pid" 2>/dev/null || true; wait "$weston_pid" 2>/dev/null || true; fi
  rm -rf "$runtime"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$runtime
unset DISPLAY
weston --backend=headless-backend.so --socket=quillby-test --idle-time=0 \
  --width=1024 --height=768 --log="$runtime/weston.log" &
weston_pid=$!
for _ in $(seq 1 200); do
  [ -S "$runtime/quillby-test" ] && break
  kill -0 "$weston_pid" 2>/dev/null || { cat "$runtime/weston.log" >&2; exit 1; }
  sleep 0.05
done
[ -S "$runtime/quillby-test" ] || { echo "weston did not start" >&2; exit 1; }
# No seat on a headless compositor: Qt 6.4's Wayland text input then dereferences a missing
# input device when an edit box paints its cursor, so the input method stays out of the way.
WAYLAND_DISPLAY=quillby-test QT_QPA_PLATFORM=wayland QT_IM_MODULE=none "$@"
