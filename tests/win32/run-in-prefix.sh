#!/usr/bin/env bash
# Runs one Windows test program under Wine in a Wine prefix of its own, copied from the
# prepared base prefix (TOLVANE_WINE_BASE, made by scripts/test-win32), and removes the
# prefix and its own X display afterwards.
set -euo pipefail
# shellcheck source=scripts/wine-session.sh
. "$(dirname "$0")/../../scripts/wine-session.sh"
wine_prefix_copy tolv-wine-test
work=$wine_work
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export TOLVANE_TEST_WORK="$work"
# ODBC (Wine's odbc32 hands over to the host's unixODBC) sees only the tests' own set-up:
# the drivers of tests/win32/odbc/odbcinst.ini and the data sources a test writes into
# its own odbc.ini; never the machine's /etc/odbc*.ini or the user's ~/.odbc.ini.
export ODBCSYSINI="$(cd "$(dirname "$0")" && pwd)/odbc"
export ODBCINI="$work/odbc.ini"
status=0
wine "$@" || status=$?
wineserver -w >/dev/null 2>&1 || true
exit $status
