#!/usr/bin/env bash
# Start-up overhead and peak memory of quillby beside a minimal Qt Widgets program that shows
# one dialog, over several runs, on an X server (Xvfb when there is no display).
#   bench/app/startup_bench.sh [RUNS] [PROGRAM]        (build first: tools/build.sh)
# PROGRAM is an installed quillby (e.g. a DESTDIR staging's usr/bin/quillby); it then keeps its
# store in the user's data folder, which the script points at a folder of its own.
# Start-up: from starting the process to its first dialog being on screen; for quillby the
# 2000 ms splash pause is taken off. Peak memory: VmHWM once quillby's desktop window (after a
# keyboard sign-in) or the minimal program's dialog is up. Sign-in: from the Return that accepts
# the login dialog to the desktop window being on screen.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${QUILLBY_BUILD_DIR:-$top/build}
runs=${1:-5}
installed=${2:-}
if [ -z "${DISPLAY:-}" ]; then
  # -noreset: by default the server resets each time its last client leaves, and every window
  # poll below is a client that leaves; a program connecting during a reset fails.
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp -noreset" "$0" "$@"
fi
for tool in "$build/quillby" "$build/tools/quillby-mkdb" "$build/bench/app/bench_minimal_dialog" \
            "$build/bench/app/bench_app_user"; do
  [ -x "$tool" ] || { echo "missing $tool: run tools/build.sh first" >&2; exit 1; }
done

work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
if [ -n "$installed" ]; then
  program=$(realpath "$installed")
  store_folder=$XDG_DATA_HOME/Quillby
  mkdir -p "$store_folder"
else
  program=$work/quillby
  store_folder=$work
  cp "$build/quillby" "$program"
fi
"$build/tools/quillby-mkdb" "$store_folder/quillby.mdb"
"$build/bench/app/bench_app_user" "$store_folder/quillby.mdb" "Bench Mark" bench secret

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
wait_window() {  # TITLE_REGEX
  local deadline=$(( $(now_ms) + 30000 ))
  # Every try is a new X connection; a short pause keeps the tries from crowding the server and
  # costs at most 10 ms of accuracy.
  until xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; do
    [ "$(now_ms)" -lt "$deadline" ] || { echo "no window $1" >&2; exit 1; }
    sleep 0.01
  done
}
peak_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -a q_start q_peak q_signin m_start m_peak
for run in $(seq 1 "$runs"); do
  t0=$(now_ms)
  (cd "$work" && exec "$program") & pid=$!
  wait_window '^Login'
  q_start+=($(( $(now_ms) - t0 - 2000 )))
  xdotool type --delay 10 bench; xdotool key Tab; xdotool type --delay 10 secret
  t0=$(now_ms)
  xdotool key Return
  wait_window '^Quillby Desktop'
  q_signin+=($(( $(now_ms) - t0 )))
  sleep 0.5
  q_peak+=($(peak_kb "$pid"))
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""

  t0=$(now_ms)
  "$build/bench/app/bench_minimal_dialog" & pid=$!
  wait_window '^Minimal dialog'
  m_start+=($(( $(now_ms) - t0 )))
  sleep 0.5
  m_peak+=($(peak_kb "$pid"))
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
done

printf '%-34s %s\n' "run" "$(seq -s ' ' 1 "$runs")"
printf '%-34s %s\n' "quillby start-up less 2000 ms (ms)" "${q_start[*]}"
printf '%-34s %s\n' "minimal dialog start-up (ms)" "${m_start[*]}"
printf '%-34s %s\n' "quillby sign-in to desktop (ms)" "${q_signin[*]}"
printf '%-34s %s\n' "quillby peak RSS, desktop up (kB)" "${q_peak[*]}"
printf '%-34s %s\n' "minimal dialog peak RSS (kB)" "${m_peak[*]}"
qs=$(printf '%s\n' "${q_start[@]}" | median); ms=$(printf '%s\n' "${m_start[@]}" | median)
qp=$(printf '%s\n' "${q_peak[@]}" | median); mp=$(printf '%s\n' "${m_peak[@]}" | median)
qi=$(printf '%s\n' "${q_signin[@]}" | median)
# RATIO LIMIT: "met" when RATIO <= LIMIT.
verdict() { awk -v r="$1" -v l="$2" 'BEGIN { print (r <= l) ? "met" : "missed" }'; }
sr=$(awk -v a="$qs" -v b="$ms" 'BEGIN { printf "%.2f", a / b }')
pr=$(awk -v a="$qp" -v b="$mp" 'BEGIN { printf "%.2f", a / b }')
echo "median start-up: quillby $qs ms, minimal $ms ms, ratio $sr (target <= 1.15: $(verdict "$sr" 1.15))"
echo "median peak memory: quillby $qp kB, minimal $mp kB, ratio $pr (target <= 1.25: $(verdict "$pr" 1.25))"
echo "median sign-in to desktop shown: quillby $qi ms (target < 100 ms: $(awk -v t="$qi" 'BEGIN { print (t < 100) ? "met" : "missed" }'))"
