#!/bin/sh
# The Debian package as a user meets it: made from the build tree by scripts/package-deb,
# lintian reports no error and no warning, the control fields and the file list are the
# expected ones, the metainfo passes appstreamcli and the bash completion completes, the
# dependencies are those of the binaries' libraries, the dry run starts from an extracted
# copy and takes the default settings delivered beside it, and removing the package leaves
# the users' settings files as they were; on Debian 13 (the trixie chroot of
# scripts/desktop-chroots) apt-get installs it and its dry run takes a real Ctrl+Alt hotkey.
# Usage: deb_test.sh BUILD_DIR VERSION MAKE_SETTINGS_TOOL SETTINGS_SQL
set -eu
build=$1 version=$2 make_settings=$3 sql=$4
here=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-deb-test.XXXXXX")
pid="" xvfb=""
cleanup() {
  for p in $pid $xvfb; do kill -9 "$p" 2>/dev/null || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
check() {  # check WHAT COMMAND...
  what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

arch=$(dpkg --print-architecture)
deb=$("$here/scripts/package-deb" "$build" "$tmp/dist")
check "the package is named tolvane_${version}_$arch.deb" [ "$deb" = "$tmp/dist/tolvane_${version}_$arch.deb" ]

# lintian: every tag shown, errors and warnings fail the test.
status=0
lintian --fail-on error,warning --display-info "$deb" >"$tmp/lintian.txt" 2>&1 || status=$?
sed 's/^/lintian: /' "$tmp/lintian.txt"
check "lintian reports no error and no warning" [ $status -eq 0 ]

field() { dpkg-deb -f "$deb" "$1"; }
check "Package: tolvane" [ "$(field Package)" = tolvane ]
check "Version: $version" [ "$(field Version)" = "$version" ]
check "Architecture: $arch" [ "$(field Architecture)" = "$arch" ]
check "Section and priority" [ "$(field Section)/$(field Priority)" = utils/optional ]
check "a maintainer with an address" sh -c "dpkg-deb -f '$deb' Maintainer | grep -q '<.*@.*>'"
dpkg-deb -f "$deb" Description >"$tmp/description"
check "a one-line synopsis" sh -c "head -1 '$tmp/description' | grep -qx 'shut down, restart or suspend on a schedule or a hotkey'"
check "and a long description that names the dry run" grep -q 'tolvane-dryrun is the same program' "$tmp/description"
check "xdg-open and Qt's Wayland platform recommended" [ "$(field Recommends)" = "xdg-utils, qt6-wayland" ]

# Every library the binaries load comes from a package named in Depends, with a version:
# the dependencies were computed from the binaries, not written by hand.
dpkg-deb -x "$deb" "$tmp/x"
depends=$(field Depends)
for lib in $(objdump -p "$tmp/x/usr/bin/tolvane" "$tmp/x/usr/bin/tolvane-dryrun" | awk '/NEEDED/ {print $2}' | sort -u); do
  path=$(ldconfig -p | awk -v l="$lib" '$1 == l && /x86-64/ {print $NF; exit}')
  pkg=$(dpkg -S "$path" 2>/dev/null | head -1 | cut -d: -f1)
  [ -n "$pkg" ] || pkg=$(dpkg -S "$(readlink -f "$path")" | head -1 | cut -d: -f1)
  check "Depends names $pkg (>= ...) for $lib" \
    sh -c "echo '$depends' | tr ',' '\n' | awk -v p='$pkg (>= ' '{ sub(/^ /, \"\") } index(\$0, p) == 1 { f = 1 } END { exit !f }'"
done

# The file list, exactly: nothing of the build (tests, tools) slips in.
dpkg-deb -c "$deb" | awk '{print $1 " " $6 ($7 == "->" ? " -> " $8 : "")}' | sort >"$tmp/contents"
cat >"$tmp/expected" <<LIST
-rw-r--r-- ./usr/share/applications/example.quenmoor.Tolvane.desktop
-rw-r--r-- ./usr/share/applications/example.quenmoor.Tolvane.DryRun.desktop
-rw-r--r-- ./usr/share/bash-completion/completions/tolvane
lrwxrwxrwx ./usr/share/bash-completion/completions/tolvane-dryrun -> tolvane
-rw-r--r-- ./usr/share/metainfo/example.quenmoor.Tolvane.metainfo.xml
-rw-r--r-- ./usr/share/doc/tolvane/changelog.gz
-rw-r--r-- ./usr/share/doc/tolvane/copyright
-rw-r--r-- ./usr/share/icons/hicolor/32x32/apps/tolvane.png
-rw-r--r-- ./usr/share/man/man1/tolvane.1.gz
-rw-r--r-- ./usr/share/pixmaps/tolvane.xpm
-rw-r--r-- ./usr/share/tolvane/tolvdata.v
-rwxr-xr-x ./usr/bin/tolvane
-rwxr-xr-x ./usr/bin/tolvane-dryrun
lrwxrwxrwx ./usr/share/man/man1/tolvane-dryrun.1.gz -> tolvane.1.gz
LIST
grep -v '^d' "$tmp/contents" | sort >"$tmp/files"
sort -o "$tmp/expected" "$tmp/expected"
check "the files in the package are exactly the expected ones" diff -u "$tmp/expected" "$tmp/files"
check "the files belong to root" sh -c "dpkg-deb -c '$deb' | awk '{print \$2}' | sort -u | grep -qx root/root"
check "the programs are stripped" sh -c "file -L '$tmp/x/usr/bin/tolvane' '$tmp/x/usr/bin/tolvane-dryrun' | grep -c ', stripped' | grep -qx 2"
dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -v '^$' | sort | tr '\n' ' ' >"$tmp/control-files"
check "no maintainer scripts: only control and md5sums" [ "$(cat "$tmp/control-files")" = "control md5sums " ]
check "the copyright file is in the machine-readable format" \
  sh -c "head -1 '$tmp/x/usr/share/doc/tolvane/copyright' | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/'"
check "the changelog's newest entry is this version" \
  sh -c "zcat '$tmp/x/usr/share/doc/tolvane/changelog.gz' | head -1 | grep -q '^tolvane ($version) '"
check "the manual page tolvane(1) renders without warnings" \
  sh -c "MANWIDTH=80 man --warnings -l '$tmp/x/usr/share/man/man1/tolvane.1.gz' 2>'$tmp/man.err' | grep -q 'tolvane-dryrun' && ! [ -s '$tmp/man.err' ]"
apps=$tmp/x/usr/share/applications
check "the menu entry starts tolvane with its icon" \
  sh -c "grep -qx 'Exec=tolvane' '$apps/example.quenmoor.Tolvane.desktop' && grep -qx 'Icon=tolvane' '$apps/example.quenmoor.Tolvane.desktop'"
# The desktop portal takes each program's id only where GLib finds <id>.desktop and its Exec.
for id in example.quenmoor.Tolvane example.quenmoor.Tolvane.DryRun; do
  check "the desktop portal would take the id $id" env XDG_DATA_DIRS="$tmp/x/usr/share" XDG_DATA_HOME="$tmp/none" \
    PATH="$tmp/x/usr/bin" /usr/bin/python3 -c \
    'import sys; from gi.repository import Gio; sys.exit(Gio.DesktopAppInfo.new(sys.argv[1]) is None)' "$id.desktop"
done
check "appstreamcli validates the metainfo" appstreamcli validate --no-net "$tmp/x/usr/share/metainfo/example.quenmoor.Tolvane.metainfo.xml"
check "the bash completion offers the actions after --at HH:MM" sh -c "bash -c '. \"$tmp/x/usr/share/bash-completion/completions/tolvane\"
  COMP_LINE=\"tolvane-dryrun --at 07:45 st\"; COMP_POINT=\${#COMP_LINE}; _tolvane; echo \${COMPREPLY[*]}' | grep -qx standby"
check "the icon is a 32 x 32 PNG" sh -c "file '$tmp/x/usr/share/icons/hicolor/32x32/apps/tolvane.png' | grep -q 'PNG image data, 32 x 32'"

# The dry run from the extracted package takes the default settings beside it: they are
# replaced here by a file with other keys, so that a copy of the build tree's would show.
sed "s/('S', 'R', 'L', 'H', 'B')/('Q', 'W', 'E', 'T', 'Y')/" "$sql" >"$tmp/other.sql"
"$make_settings" "$tmp/other.sql" "$tmp/other.v"
check "the stand-in settings differ from the delivered ones" sh -c "! cmp -s '$tmp/other.v' '$tmp/x/usr/share/tolvane/tolvdata.v'"
cp "$tmp/other.v" "$tmp/x/usr/share/tolvane/tolvdata.v"
mkdir "$tmp/windir"
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen windir="$tmp/windir" \
    DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/tolvane-deb-test DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tolvane-deb-test \
    "$tmp/x/usr/bin/tolvane-dryrun" 2>"$tmp/err" >"$tmp/out" &
pid=$!
i=0
until grep -qx 'dry-run ready' "$tmp/out" 2>/dev/null || [ $i -ge 300 ]; do
  i=$((i + 1))
  sleep 0.1
done
check "the extracted dry run prints \"dry-run ready\"" grep -qx 'dry-run ready' "$tmp/out"
kill -TERM "$pid"
i=0
while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do
  i=$((i + 1))
  sleep 0.1
done
check "SIGTERM ends it" sh -c "! kill -0 $pid 2>/dev/null"
pid=""
check "and copies the settings delivered beside it into the fresh windir" cmp "$tmp/other.v" "$tmp/windir/tolvdata.v"
check "it asks for no power action" sh -c "! grep -v '^dry-run ready$' '$tmp/out'"

# Installed and purged with dpkg in a root of its own: the files come and go, the users'
# settings files stay byte for byte.
root=$tmp/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/log" \
         "$root/home/user/.config/tolvane" "$root/windir"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg_root() { dpkg --root="$root" --force-depends --force-not-root --force-script-chrootless "$@" >>"$tmp/dpkg.log" 2>&1; }
check "dpkg installs the package" dpkg_root -i "$deb"
check "dpkg lists the program as installed" sh -c "[ -x '$root/usr/bin/tolvane' ] && grep -q '^Status: install ok installed' '$root/var/lib/dpkg/status'"
cp "$tmp/windir/tolvdata.v" "$root/home/user/.config/tolvane/tolvdata.v"
cp "$tmp/other.v" "$root/windir/tolvdata.v"
check "dpkg purges the package" dpkg_root --purge tolvane
check "every file of the package is gone" sh -c "! find '$root/usr' '$root/etc' ! -type d 2>/dev/null | grep -q ."
check "the user's settings file is untouched" cmp "$tmp/windir/tolvdata.v" "$root/home/user/.config/tolvane/tolvdata.v"
check "the settings file in windir is untouched" cmp "$tmp/other.v" "$root/windir/tolvdata.v"

# On Debian 13, as its users get it: apt-get installs the package in the trixie chroot that
# scripts/desktop-chroots keeps (on an overlay that goes with the run), the installed dry run
# starts there on an X display of this test's own, and Ctrl+Alt+S pressed with XTest gives
# its shutdown request.
if "$here/scripts/desktop-chroots" root trixie >/dev/null && command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  { cat "$sql"; echo "UPDATE en SET shutdown = 1;"; } >"$tmp/enabled.sql"
  mkdir "$tmp/windir13"
  "$make_settings" "$tmp/enabled.sql" "$tmp/windir13/tolvdata.v"
  Xvfb -displayfd 1 -nolisten tcp -screen 0 800x600x24 >"$tmp/display" 2>/dev/null &
  xvfb=$!
  i=0
  until [ -s "$tmp/display" ] || [ $i -ge 100 ]; do i=$((i + 1)); sleep 0.1; done
  display=:$(cat "$tmp/display")
  "$here/scripts/desktop-chroots" run trixie --share "$tmp" -- /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    DEBIAN_FRONTEND=noninteractive DISPLAY="$display" QT_QPA_PLATFORM=xcb windir="$tmp/windir13" HOME="$tmp" \
    DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/tolvane-deb-test DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tolvane-deb-test \
    sh -c "apt-get install -y '$deb' >'$tmp/apt13.log' 2>&1 && exec tolvane-dryrun" >"$tmp/out13" 2>"$tmp/err13" &
  pid=$!
  i=0
  until grep -qx 'dry-run ready' "$tmp/out13" 2>/dev/null || ! kill -0 $pid 2>/dev/null || [ $i -ge 1200 ]; do
    i=$((i + 1))
    sleep 0.1
  done
  check "apt-get installs the package on Debian 13" grep -q 'Setting up tolvane (' "$tmp/apt13.log"
  check "the installed dry run starts there" grep -qx 'dry-run ready' "$tmp/out13"
  DISPLAY=$display xdotool keydown ctrl alt s sleep 0.3 keyup s alt ctrl
  i=0
  until grep -q '^dry-run shutdown ' "$tmp/out13" || [ $i -ge 50 ]; do i=$((i + 1)); sleep 0.1; done
  check "and Ctrl+Alt+S gives its shutdown request" grep -qx 'dry-run shutdown PowerOff(true)' "$tmp/out13"
  kill -TERM $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
  pid=""
  kill $xvfb
  wait $xvfb 2>/dev/null || true
  xvfb=""
else
  echo "skip the package on Debian 13: the trixie chroot is not made (scripts/desktop-chroots make trixie)"
fi

[ $failures -eq 0 ] || { cat "$tmp/dpkg.log" "$tmp/err" "$tmp/apt13.log" "$tmp/err13" >&2 2>/dev/null; echo "$failures checks failed" >&2; exit 1; }
