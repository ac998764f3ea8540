# Shared by the screenshot scripts (source it): a private X display with a window manager,
# and pictures of single windows with their frames.
#
#   xsession_start [tray]   Xvfb at 96 dots per inch, openbox, and trayer if asked; sets DISPLAY,
#                           and bus addresses that lead nowhere: no program reaches the machine's
#                           buses, nor launches one of its own for the display
#   xsession_window ARGS... the first visible window that `xdotool search ARGS` finds (50 s at most)
#   xsession_click WIN X Y  a click at a point of the window's client area (real input, XTest)
#   xsession_shot WIN FILE  a PNG of the window and its frame, as the screen shows it
#   xsession_stop           ends what xsession_start started (also on exit)

xsession_pids=()

xsession_stop() {
  local pid
  for ((i = ${#xsession_pids[@]} - 1; i >= 0; i--)); do
    pid=${xsession_pids[i]}
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  xsession_pids=()
}

xsession_start() {
  local fifo number
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -noreset -dpi 96 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
  xsession_pids+=($!)
  read -r -t 20 number <"$fifo" || { echo "xsession: Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
  rm -f "$fifo"
  export DISPLAY=":$number"
  unset WAYLAND_DISPLAY
  export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tolvane-shots DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/tolvane-shots
  openbox --sm-disable >/dev/null 2>&1 &
  xsession_pids+=($!)
  xsession_wait sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    { echo "xsession: openbox did not start" >&2; return 1; }
  if [ "${1:-}" = tray ]; then
    trayer --edge top --align right --widthtype pixel --width 160 --heighttype pixel --height 32 \
      --SetDockType true >/dev/null 2>&1 &
    xsession_pids+=($!)
    xsession_wait xdotool search --onlyvisible --class trayer || { echo "xsession: trayer did not start" >&2; return 1; }
    sleep 0.5
  fi
}

# Waits until the command succeeds (five seconds at most).
xsession_wait() {
  for _ in $(seq 50); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}

xsession_window() {
  local id
  for _ in $(seq 250); do
    id=$(xdotool search --onlyvisible "$@" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.2
  done
  echo "xsession: no window for: $*" >&2
  return 1
}

xsession_click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.3
}

# The frame is the client window's ancestor just below the root; the picture is cut from
# the screen, so that whatever lies over the window shows as the user sees it.
xsession_shot() {
  local win=$1 file=$2 frame=$1 parent geometry
  while parent=$(xwininfo -children -id "$frame" | sed -n 's/^  Parent window id: \(0x[0-9a-f]*\).*/\1/p') &&
    [ -n "$parent" ] && ! xwininfo -id "$parent" | grep -q '(the root window)'; do
    frame=$parent
  done
  geometry=$(xwininfo -id "$frame" | awk '
    /Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END {printf "%dx%d+%d+%d", w, h, x, y}')
  sleep 0.5
  import -window root -crop "$geometry" +repage "$file"
  echo "$file ($geometry)"
}
