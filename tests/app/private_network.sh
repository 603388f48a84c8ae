#!/usr/bin/env bash
# Runs a command in a network namespace of its own, whose only way out is a pair of virtual
# interfaces that end inside the namespace: the program sees a default route and counts itself
# online, its servers' ports are its own, and no packet can leave this machine whatever the
# command does. Needs root (CI has it); exits 77 (skipped) where a namespace cannot be made.
set -euo pipefail
if [ "$(id -u)" -ne 0 ] || ! unshare --net true 2>/dev/null; then
  echo "a private network namespace needs root and unshare; skipped" >&2
  exit 77
fi
exec unshare --net -- bash -c '
  set -e
  ip link set lo up
  ip link add qbout type veth peer name qbend
  ip addr add 198.51.100.1/24 dev qbout
  ip addr add 198.51.100.2/24 dev qbend
  ip link set qbout up
  ip link set qbend up
  ip route add default via 198.51.100.2 dev qbout
  exec "$@"' private_network "$@"
