#!/usr/bin/env bash
# fresh-machine-test.sh DIR: makes a minimal Debian 12 root in DIR (debootstrap --variant=minbase),
# clones the committed HEAD of this repository into it and runs the test command there as root,
# with CI=true and a bare environment, as on a machine that has nothing yet. Proves that
# tools/debian-packages.txt is whole. Needs root and the Debian mirror this machine's apt uses
# (its debian.sources, which the new root gets too); DIR must be new or empty. QUILLBY_MIRROR
# names another mirror for debootstrap.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 DIR" >&2; exit 2; }
if [ "$(id -u)" -ne 0 ]; then exec sudo -- "$0" "$@"; fi
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
root=$(realpath -m "$1")
sources=/etc/apt/sources.list.d/debian.sources
[ -f "$sources" ] || { echo "$sources is missing: this machine's apt names no Debian mirror" >&2; exit 2; }
mirror=${QUILLBY_MIRROR:-$(awk '$1 == "URIs:" { print $2; exit }' "$sources")}
[ -n "$mirror" ] || { echo "$sources names no mirror (no URIs: line); set QUILLBY_MIRROR" >&2; exit 2; }
if [ -e "$root" ] && [ -n "$(ls -A "$root")" ]; then
  echo "$root is not empty; give a new folder" >&2
  exit 2
fi
# Run through sudo, the repository may be another user's.
git() { command git -c safe.directory='*' "$@"; }
head=$(git -C "$top" rev-parse HEAD)
git -C "$top" diff --quiet HEAD || echo "note: uncommitted changes are not tested, only $head"

started=$SECONDS
mounted=()
unmount() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -R "${mounted[i]}" 2>/dev/null || umount -R -l "${mounted[i]}" || true
  done
  mounted=()
}
trap unmount EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

command -v debootstrap >/dev/null ||
  { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap; }
mkdir -p "$root"
t0=$SECONDS
echo "== debootstrap: bookworm minbase into $root"
log=$(mktemp)
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$log" 2>&1 ||
  { tail -n 30 "$log" >&2; rm -f "$log"; exit 1; }
rm -f "$log"
echo "== debootstrap: done in $((SECONDS - t0)) s"

# What a Debian 12 installation has: the release, its updates and the security archive, from
# the mirror this machine uses.
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
rm -f "$root/etc/apt/sources.list"
cp "$sources" "$root/etc/apt/sources.list.d/debian.sources"

# No service a package brings may start: it would outlive the run and hold the mounts.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"

git clone --quiet --no-checkout "$top" "$root/root/quillby"
git -C "$root/root/quillby" checkout --quiet --detach "$head"

# The device nodes are debootstrap's own; pts and shm are new instances, so nothing of the
# host's /dev is reachable from the new root, and deleting DIR afterwards cannot harm it.
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mount -t sysfs sysfs "$root/sys" && mounted+=("$root/sys")
mkdir -p "$root/dev/pts" "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts" && mounted+=("$root/dev/pts")
ln -sf pts/ptmx "$root/dev/ptmx"
mount -t tmpfs -o mode=1777 shm "$root/dev/shm" && mounted+=("$root/dev/shm")
# The end-to-end test makes a network namespace of its own.
chroot "$root" unshare --net true ||
  { echo "unshare --net does not work in the new root" >&2; exit 1; }

echo "== test command: tools/test.sh in $root/root/quillby at $head"
t0=$SECONDS
rc=0
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  TERM=dumb CI=true bash -c 'cd /root/quillby && exec tools/test.sh' </dev/null || rc=$?
echo "== fresh machine: test command $([ $rc -eq 0 ] && echo passed || echo "FAILED ($rc)") in" \
  "$((SECONDS - t0)) s; $((SECONDS - started)) s with debootstrap"
exit $rc
