#!/usr/bin/env bash
# Installs what is missing, builds the program (which puts an empty store next to it when there
# is none), starts the local service stand-in, runs the program against it, and stops the
# stand-in when the program ends, however it ends. Under Xvfb when there is no display.
#
#   tools/run.sh                  the program with the stand-in
#   tools/run.sh --service-only   the stand-in alone, until Ctrl+C
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUILLBY_BUILD_DIR:-$top/build}
data=$build/service
# Debian's interpreter: the python3 first on the PATH may not see Debian's aiosmtpd and werkzeug.
service=(/usr/bin/python3 "$top/tools/service/quillby_service.py"
         "@$build/tools/service/service.args")

case "${1:-}" in
  "" | --service-only) ;;
  *) echo "usage: tools/run.sh [--service-only]" >&2; exit 2 ;;
esac

"$top/tools/install-deps.sh"
"$top/tools/build.sh" --target quillby quillby_store
mkdir -p "$data"

if [ "${1:-}" = --service-only ]; then
  echo "Starting the service stand-in alone; Ctrl+C stops it."
  exec "${service[@]}" --data "$data"
fi

service_pid=""
echo_pid=""
program_pid=""
# The echo of the stand-in's log ends by itself once the stand-in has ended and been waited for,
# after it has shown the last lines (the reason it could not start, say); it is only stopped
# when it does not.
end_echo() {
  [ -n "$echo_pid" ] || return 0
  for _ in $(seq 50); do
    kill -0 "$echo_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$echo_pid" 2>/dev/null || true
  wait "$echo_pid" 2>/dev/null || true
  echo_pid=""
}
stop_all() {
  trap - EXIT INT TERM
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    # The program runs in a process group of its own (with Xvfb, when there is one).
    kill -TERM -- "-$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  if [ -n "$service_pid" ] && kill -0 "$service_pid" 2>/dev/null; then
    kill -TERM "$service_pid" 2>/dev/null || true
    for _ in $(seq 100); do
      kill -0 "$service_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$service_pid" 2>/dev/null || true
  fi
  [ -n "$service_pid" ] && { wait "$service_pid" 2>/dev/null || true; }
  end_echo
  if [ -n "$service_pid" ]; then
    echo "The service stand-in is stopped. What it received is in $data"
  fi
}
trap stop_all EXIT
trap 'echo; echo "Interrupted."; exit 130' INT
trap 'exit 143' TERM

# The stand-in's own account of what it receives goes to service.log and to this terminal.
log=$data/service.log
(umask 077 && : >"$log")  # it holds the names and addresses people sent
chmod 600 "$log"
"${service[@]}" --data "$data" >>"$log" 2>&1 &
service_pid=$!
tail -n +1 -f -s 0.2 --pid="$service_pid" "$log" &
echo_pid=$!
for _ in $(seq 150); do
  if ! kill -0 "$service_pid" 2>/dev/null; then
    status=0
    wait "$service_pid" || status=$?
    service_pid=""
    end_echo
    echo "The service stand-in could not start (status $status, see above); the program was not started." >&2
    exit 1
  fi
  # Ready once it has said so and both of its servers answer; its own ready line rules out
  # another program answering on the same ports.
  if grep -q '^Service stand-in ready' "$log" && "${service[@]}" --probe; then
    break
  fi
  sleep 0.2
done
if ! "${service[@]}" --probe; then
  echo "The service stand-in did not answer within 30 seconds; the program was not started." >&2
  exit 1
fi

authority=$(sed -n 's/^Service stand-in ready: .*; its authority is //p' "$log")
cat <<EOF
Quillby Desktop is starting. Afterwards, look at:
  received mail      $data/mail/*.eml
  signups            $data/signups.jsonl
  the stand-in's log $log${authority:+
  its TLS authority  $authority (the program trusts it)}
  the store          sqlite3 $build/quillby.mdb
  the connection log $build/QybSmtp.log
EOF
program=("$build/quillby")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "There is no display (DISPLAY and WAYLAND_DISPLAY are unset), so the program runs on a"
  echo "virtual screen (Xvfb) that no one can see. Press Ctrl+C to end it; run tools/run.sh in"
  echo "a desktop session (or over ssh -X) to use it."
  program=(xvfb-run -a "${program[@]}")
fi
# Run from the build folder, so that the connection log lies beside the store. A process group
# of its own lets Ctrl+C and TERM end it, with its Xvfb, through the traps above.
cd "$build"
setsid "${program[@]}" &
program_pid=$!
status=0
wait "$program_pid" || status=$?
program_pid=""
if [ "$status" -ne 0 ]; then
  echo "Quillby Desktop ended with status $status." >&2
fi
exit "$status"
