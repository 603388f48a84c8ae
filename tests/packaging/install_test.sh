#!/usr/bin/env bash
# install_test.sh BUILD_DIR: installs into a staging folder (DESTDIR) and checks the layout and
# its desktop files; then runs the installed program under Xvfb as a user whose data folder is
# empty (a private copy of the empty store), again with an existing store (left byte for byte),
# and drags its login dialog by the title bar.
set -euo pipefail
if [ -z "${QUILLBY_TEST_XVFB:-}" ]; then
  QUILLBY_TEST_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp -noreset" "$0" "$@"
fi
build=$1
work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
id=org.marrowvale.quillby
expected="usr/bin/quillby
usr/lib/quillby/modules/quillby-online.so
usr/lib/quillby/modules/quillby-print.so
usr/share/applications/$id.desktop
usr/share/doc/quillby/changelog.Debian.gz
usr/share/doc/quillby/copyright
usr/share/icons/hicolor/128x128/apps/$id.png
usr/share/icons/hicolor/16x16/apps/$id.png
usr/share/icons/hicolor/256x256/apps/$id.png
usr/share/icons/hicolor/32x32/apps/$id.png
usr/share/icons/hicolor/48x48/apps/$id.png
usr/share/icons/hicolor/64x64/apps/$id.png
usr/share/icons/hicolor/scalable/apps/$id.svg
usr/share/man/man1/quillby.1.gz
usr/share/metainfo/$id.metainfo.xml
usr/share/quillby/quillby.mdb"
actual=$(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$(LC_ALL=C sort <<<"$expected")" ] || fail "installed files differ:
$(diff <(LC_ALL=C sort <<<"$expected") <(echo "$actual"))"
for size in 16 32 48 64 128 256; do
  file "$stage/usr/share/icons/hicolor/${size}x$size/apps/$id.png" | grep -q "PNG image data, $size x $size," ||
    fail "the ${size}px icon is not a ${size} x $size PNG"
done
modules=$stage/usr/lib/quillby/modules
nm -D --defined-only "$modules/quillby-online.so" | grep -qw QuillbyReachability ||
  fail "the reachability module does not export QuillbyReachability"
nm -D --defined-only "$modules/quillby-print.so" | grep -qw QuillbyShowPrintPreview ||
  fail "the print module does not export QuillbyShowPrintPreview"
desktop-file-validate "$stage/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$stage/usr/share/metainfo/$id.metainfo.xml" >/dev/null ||
  appstreamcli validate --no-net "$stage/usr/share/metainfo/$id.metainfo.xml"
[ "$(sqlite3 "$stage/usr/share/quillby/quillby.mdb" 'SELECT COUNT(*) FROM Users')" = 0 ] ||
  fail "the installed store is not empty"
zcat "$stage/usr/share/man/man1/quillby.1.gz" | grep -q '^\.SH FILES' || fail "no FILES in the man page"

# The program as a user with an empty data folder, in a working directory of its own.
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config HOME=$work/home
mkdir -p "$HOME" "$work/cwd"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
run_until_login() {  # then leaves it running as $pid
  (cd "$work/cwd" && exec "$stage/usr/bin/quillby") & pid=$!
  for _ in $(seq 1 300); do
    window=$(xdotool search --onlyvisible --name '^Login' 2>/dev/null | head -1) && [ -n "$window" ] && return 0
    kill -0 "$pid" 2>/dev/null || fail "the installed program ended"
    sleep 0.1  # each try is a new X connection: never hammer the server
  done
  fail "no login dialog"
}
stop() { kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""; }

store=$XDG_DATA_HOME/Quillby/quillby.mdb
{
  store=$XDG_DATA_HOME/Quillby/quillby.mdb
  run_until_login
  [ -f "$store" ] || fail "no store in the user's data folder"
  [ "$(stat -c %a "$store")" = 600 ] || fail "the store's mode is $(stat -c %a "$store")"
  cmp -s "$store" "$stage/usr/share/quillby/quillby.mdb" || fail "the store is not the empty one"
  [ ! -e "$stage/usr/bin/quillby.mdb" ] || fail "a store beside the installed program"
  # The connection log's folder is the user's private state folder, not the working directory.
  [ "$(stat -c %a "$HOME/.local/state/Quillby" 2>/dev/null)" = 700 ] ||
    fail "no private state folder for the connection log"
  [ -z "$(ls -A "$work/cwd")" ] || fail "files in the working directory: $(ls -A "$work/cwd")"

  # The frameless dialog follows its title bar on X11: its corner goes to the cursor less the
  # press position in the title bar, which starts inside the one-pixel outline.
  eval "$(xdotool getwindowgeometry --shell "$window")"
  x0=$X y0=$Y
  # A hand's pace: the window places itself from where it last heard it is.
  xdotool mousemove $((x0 + 150)) $((y0 + 10)) sleep 0.2 mousedown 1 sleep 0.2 \
    mousemove $((x0 + 190)) $((y0 + 40)) sleep 0.2 mousemove $((x0 + 210)) $((y0 + 50)) sleep 0.2 \
    mouseup 1
  want_x=$((x0 + 210 - 149)) want_y=$((y0 + 50 - 9))
  for _ in $(seq 1 50); do
    eval "$(xdotool getwindowgeometry --shell "$window")"
    [ "$X,$Y" = "$want_x,$want_y" ] && break
    sleep 0.1
  done
  [ "$X,$Y" = "$want_x,$want_y" ] || fail "dragged from $x0,$y0 the dialog is at $X,$Y, not $want_x,$want_y"
  stop

  # A later start keeps the store it finds, byte for byte.
  sqlite3 "$store" "INSERT INTO Users (FULLNAME, LOGIN, PASSWORD, LOGINKEY, FULLNAMEKEY) VALUES ('Ann Example', 'ann', '5EBE2294ECD0E0F08EAB7690D2A6EE69', 'ann', 'ann example')"
  cp -p "$store" "$work/before"
  run_until_login
  stop
  cmp -s "$store" "$work/before" || fail "the existing store was changed"
  [ "$(stat -c %a "$store")" = 600 ] || fail "the existing store's mode changed"
  echo "installed layout, first start and drag: passed"
}
