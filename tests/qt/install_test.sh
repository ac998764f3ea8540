#!/bin/sh
# cmake --install puts the program, its settings, menu entry and icon where desktops look,
# the desktop files where the desktop portal finds each program's id, and the installed dry
# run starts from there with a fresh settings folder.
# Usage: install_test.sh BUILD_DIR
set -eu
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
apps=$tmp/prefix/share/applications
for f in bin/tolvane bin/tolvane-dryrun share/tolvane/tolvdata.v share/applications/example.quenmoor.Tolvane.desktop \
         share/applications/example.quenmoor.Tolvane.DryRun.desktop \
         share/icons/hicolor/32x32/apps/tolvane.png share/pixmaps/tolvane.xpm \
         share/man/man1/tolvane.1.gz share/man/man1/tolvane-dryrun.1.gz share/doc/tolvane/copyright; do
  [ -e "$tmp/prefix/$f" ] || { echo "not installed: $f" >&2; exit 1; }
done
grep -qx 'Exec=tolvane' "$apps/example.quenmoor.Tolvane.desktop"
grep -qx 'Icon=tolvane' "$apps/example.quenmoor.Tolvane.desktop"
grep -qx 'Exec=tolvane-dryrun' "$apps/example.quenmoor.Tolvane.DryRun.desktop"
grep -qx 'NoDisplay=true' "$apps/example.quenmoor.Tolvane.DryRun.desktop"
# The portal takes an id only where GLib, as the portal asks it, finds <id>.desktop in the
# data folders and the program its Exec names on the PATH.
for id in example.quenmoor.Tolvane example.quenmoor.Tolvane.DryRun; do
  XDG_DATA_DIRS="$tmp/prefix/share" XDG_DATA_HOME="$tmp/none" PATH="$tmp/prefix/bin" /usr/bin/python3 -c \
    'import sys; from gi.repository import Gio; sys.exit(Gio.DesktopAppInfo.new(sys.argv[1]) is None)' "$id.desktop" ||
    { echo "the desktop portal would not take the id $id" >&2; exit 1; }
done
mkdir "$tmp/windir"
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen windir="$tmp/windir" \
    DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/tolvane-install-test DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tolvane-install-test \
    "$tmp/prefix/bin/tolvane-dryrun" 2>/dev/null > "$tmp/out" &
pid=$!
i=0
until grep -qx 'dry-run ready' "$tmp/out" 2>/dev/null; do
  i=$((i + 1))
  [ $i -lt 200 ] || { kill -9 $pid; echo "the installed dry run did not get ready" >&2; exit 1; }
  sleep 0.1
done
# SIGTERM, as the end of a session sends it, ends the program although it refuses to close.
kill -TERM $pid
i=0
while kill -0 $pid 2>/dev/null; do
  i=$((i + 1))
  [ $i -lt 50 ] || { kill -9 $pid; echo "SIGTERM did not end the program" >&2; exit 1; }
  sleep 0.1
done
wait $pid || { echo "the program ended with status $?" >&2; exit 1; }
# The delivered defaults were copied into the fresh folder, unchanged.
cmp "$tmp/prefix/share/tolvane/tolvdata.v" "$tmp/windir/tolvdata.v"
