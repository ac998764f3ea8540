#!/usr/bin/env bash
# tolvane-setup.exe under Wine, in a prefix of its own copied from the prepared base
# prefix (TOLVANE_WINE_BASE, made by scripts/test-win32): the silent install puts the
# program, its shortcuts and its installed-programs entry in place; the installed tolv.exe,
# started through its Start-menu shortcut on Wine's desktop, comes up to its tray icon;
# the silent uninstall removes all of it. A settings file in the Windows directory stays
# byte for byte as it was throughout. It runs on an X display of its own.
#
# The real tolv.exe runs here: under Wine it has no hotkeys (no Jet provider, so no
# settings) and nothing sets a schedule, so it has nothing to act on; the prefix is ended
# with wineserver -k straight after the check.
# Usage: setup_test.sh SETUP_EXE CHECK_EXE TOLV_EXE
set -euo pipefail
setup=$1 checker=$2 program=$3
# shellcheck source=scripts/wine-session.sh
. "$(dirname "$0")/../../scripts/wine-session.sh"
wine_prefix_copy tolv-setup-test
work=$wine_work
export WINEDEBUG=-all
# No menu entries on the host for the shortcuts the setup makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

failures=0
check() {  # check WHAT COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
drive=$WINEPREFIX/drive_c
installed="$drive/Program Files/Tolvane"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvane'

# The user's hotkey settings, in the Windows directory before the setup runs.
head -c 4096 /dev/urandom >"$drive/windows/tolvdata.v"
cp "$drive/windows/tolvdata.v" "$work/settings.before"

status=0
timeout 120 wine "$(winpath "$setup")" /S || status=$?
timeout 60 wineserver -w || true
check "the silent install succeeds" [ $status -eq 0 ]
check "tolv.exe is installed under Program Files, byte for byte" cmp "$program" "$installed/tolv.exe"
check "with its uninstaller, and nothing else" \
  [ "$(cd "$installed" && ls | tr '\n' ' ')" = "tolv.exe uninstall.exe " ]
status=0
timeout 60 wine "$(winpath "$checker")" shortcuts present || status=$?
check "both shortcuts start the installed program" [ $status -eq 0 ]

wine reg query "$key" 2>/dev/null | tr -d '\r' >"$work/reg.txt" || true
sed 's/^/reg: /' "$work/reg.txt"
value() { sed -n "s/^    $1    REG_[A-Z_]*    //p" "$work/reg.txt"; }
expect() { check "$1 is $2" [ "$(value "$1")" = "$2" ]; }
expect DisplayName 'Tolvane'
expect DisplayVersion '1.00'
expect Publisher 'Quenmoor'
expect DisplayIcon 'C:\Program Files\Tolvane\tolv.exe,0'
expect InstallLocation 'C:\Program Files\Tolvane'
expect UninstallString '"C:\Program Files\Tolvane\uninstall.exe"'
expect QuietUninstallString '"C:\Program Files\Tolvane\uninstall.exe" /S'
expect NoModify 0x1
expect NoRepair 0x1
size_kb=$(( $(cat "$installed/tolv.exe" "$installed/uninstall.exe" | wc -c) / 1024 ))
estimated=$(( $(value EstimatedSize) ))
check "EstimatedSize is the installed size, $estimated KB (files: $size_kb KB)" \
  test $estimated -ge $((size_kb - 4)) -a $estimated -le $((size_kb + 4))

# The installed program, started through its shortcut on Wine's desktop with a taskbar.
rm -f "$work/tray.txt"
timeout 120 wine explorer /desktop=shell,1000x680 "$(winpath "$checker")" tray "$(winpath "$work/tray.txt")" \
  >/dev/null 2>&1 &
desktop=$!
for _ in $(seq 120); do
  grep -q 'still running' "$work/tray.txt" 2>/dev/null && break
  sleep 1
done
cat "$work/tray.txt" 2>/dev/null || true
check "the installed program starts to its tray icon" \
  sh -c "[ -s '$work/tray.txt' ] && grep -q 'still running' '$work/tray.txt' && ! grep -q '^FAIL' '$work/tray.txt'"
wineserver -k >/dev/null 2>&1 || true
wait "$desktop" 2>/dev/null || true
check "the program has not changed the settings file" cmp "$work/settings.before" "$drive/windows/tolvdata.v"

# The uninstaller copies itself away and returns at once; wineserver -w waits for it.
status=0
timeout 120 wine "$(winpath "$installed/uninstall.exe")" /S || status=$?
timeout 120 wineserver -w || true
check "the silent uninstall succeeds" [ $status -eq 0 ]
check "the program's folder is gone" [ ! -e "$installed" ]
status=0
timeout 60 wine "$(winpath "$checker")" shortcuts absent || status=$?
check "both shortcuts are gone" [ $status -eq 0 ]
check "the installed-programs entry is gone" sh -c "! wine reg query '$key' >/dev/null 2>&1"
check "no file of the program is left in the prefix" \
  sh -c "! find '$drive' -iname 'tolv*' ! -path '$drive/windows/tolvdata.v' | grep ."
check "the settings file in the Windows directory is byte for byte as it was" \
  cmp "$work/settings.before" "$drive/windows/tolvdata.v"

[ $failures -eq 0 ] || { echo "$failures checks failed" >&2; exit 1; }
