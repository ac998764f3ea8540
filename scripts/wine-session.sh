# shellcheck shell=bash disable=SC2034
# Sourced by the scripts that run Windows programs under Wine (scripts/test-win32,
# scripts/screenshots/windows, tests/win32/run-in-prefix.sh, tests/win32/setup_test.sh): a
# private X display and a Wine prefix prepared the one way every Windows test and picture
# expects, and a test's own copy of that prefix. The display and the preparation return 1
# with the reason in $wine_why; the caller decides whether that skips or fails.

# A display of our own at 96 dots per inch, found free by Xvfb itself: exports DISPLAY and
# sets wine_xvfb_pid (for the caller to end), and bus addresses that lead nowhere, so that
# Wine (its mount manager asks the system bus) reaches none of the machine's buses. WORK: a
# folder for the server's log.
wine_xvfb_start() {
  local work=$1
  exec 9>"$work/display"
  Xvfb -displayfd 9 -dpi 96 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  wine_xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  if [ ! -s "$work/display" ]; then
    wine_why="Xvfb did not start ($(tail -1 "$work/xvfb.log"))"
    return 1
  fi
  DISPLAY=":$(head -1 "$work/display")"
  export DISPLAY
  unset WAYLAND_DISPLAY
  export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tolvane-wine DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/tolvane-wine
}

# A new 32-bit prefix: Gecko and Mono switched off, so that no installer dialog waits for a
# click; Wine's own fonts (fonts-wine: Tahoma, for which Wine's "MS Shell Dlg" stands, MS
# Sans Serif, ...) where Windows keeps its fonts, because Debian's Wine 8 looks for them
# under "share/wine/../fonts", which is no folder, and would draw every dialog in whatever
# fontconfig offers instead; and the windows' frames drawn by Wine, as Windows does, since
# the private X server has no window manager and a window there would otherwise have no
# title bar and no close box to press. PREFIX: the prefix's folder.
wine_prefix_prepare() {
  local prefix=$1
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32
  if ! WINEPREFIX="$prefix" timeout 300 wineboot -i >"$prefix.wineboot.log" 2>&1; then
    wine_why="Wine cannot run here: $(tail -3 "$prefix.wineboot.log" | tr '\n' ' ')"
    return 1
  fi
  WINEPREFIX="$prefix" timeout 60 wineserver -w || true
  if [ -d /usr/share/wine/fonts ] && [ -d "$prefix/drive_c/windows/Fonts" ]; then
    cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
  fi
  if ! WINEPREFIX="$prefix" timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f \
    >/dev/null 2>&1; then
    wine_why="the prefix's window frames cannot be set"
    return 1
  fi
  WINEPREFIX="$prefix" timeout 60 wineserver -w || true
}

# A prefix of one test's own, copied from the prepared base prefix (TOLVANE_WINE_BASE, made
# by scripts/test-win32) into a new folder; its programs are ended and the folder removed
# when the calling script exits (the function sets the script's EXIT trap). It starts an X
# display of the prefix's own (and exports DISPLAY), ended with it. Exports
# WINEPREFIX and sets wine_work, the folder, for the test's own files beside the prefix.
# NAME: how the folder's name begins.
wine_prefix_copy() {
  local name=$1
  : "${TOLVANE_WINE_BASE:?run the Windows tests through scripts/test-win32}"
  wine_work=$(mktemp -d "${TMPDIR:-/tmp}/$name.XXXXXX")
  export WINEPREFIX="$wine_work/prefix"
  wine_xvfb_pid=
  trap wine_prefix_remove EXIT
  cp -a "$TOLVANE_WINE_BASE" "$WINEPREFIX"
  # A display of the test's own: tests that run side by side would otherwise share one
  # pointer and one keyboard focus, and one's real clicks would land in the other's windows.
  if ! wine_xvfb_start "$wine_work"; then
    echo "$wine_why" >&2
    exit 1
  fi
}

wine_prefix_remove() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$wine_xvfb_pid" ] && kill "$wine_xvfb_pid" 2>/dev/null
  rm -rf "$wine_work"
}
