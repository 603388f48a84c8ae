#!/usr/bin/env bash
# package_test.sh BUILD_DIR: builds the Debian package with CPack and checks its file list, its
# dependencies and lintian's verdict (no errors); prints its size and lintian's warnings.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >/dev/null)
deb=$(ls "$work"/quillby_*_amd64.deb 2>/dev/null | head -1)
[ -n "$deb" ] || deb=$(ls "$work"/quillby_*.deb | head -1)
id=org.marrowvale.quillby
list=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for path in ./usr/bin/quillby ./usr/lib/quillby/modules/quillby-online.so \
            ./usr/lib/quillby/modules/quillby-print.so \
            ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml \
            ./usr/share/icons/hicolor/scalable/apps/$id.svg \
            ./usr/share/icons/hicolor/48x48/apps/$id.png ./usr/share/quillby/quillby.mdb \
            ./usr/share/man/man1/quillby.1.gz ./usr/share/doc/quillby/copyright; do
  grep -qx "$path" <<<"$list" || fail "$path is not in the package"
done
! grep -q '/usr/local/\|build' <<<"$list" || fail "the package holds files outside /usr"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libsqlite3-0 libc6 libssl3; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
echo "package $(basename "$deb"): $(stat -c %s "$deb") bytes"
lintian --fail-on error "$deb" 2>&1 | grep -v 'running with root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"
echo "package: passed"
