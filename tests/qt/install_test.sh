#!/bin/sh
# cmake --install puts the program, its settings, menu entry and icon where desktops look,
# and the installed dry run starts from there with a fresh settings folder.
# Usage: install_test.sh BUILD_DIR
set -eu
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
for f in bin/tolvane bin/tolvane-dryrun share/tolvane/tolvdata.v share/applications/tolvane.desktop \
         share/icons/hicolor/32x32/apps/tolvane.png share/pixmaps/tolvane.xpm \
         share/man/man1/tolvane.1.gz share/man/man1/tolvane-dryrun.1.gz share/doc/tolvane/copyright; do
  [ -e "$tmp/prefix/$f" ] || { echo "not installed: $f" >&2; exit 1; }
done
grep -qx 'Exec=tolvane' "$tmp/prefix/share/applications/tolvane.desktop"
grep -qx 'Icon=tolvane' "$tmp/prefix/share/applications/tolvane.desktop"
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
