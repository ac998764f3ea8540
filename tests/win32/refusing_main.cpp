// tolv-refusing.exe, for the end-to-end test of a refused action: tolv-dryrun.exe as an
// account without the shutdown privilege meets it (refusing_power.h). Its calls, tray
// requests and message boxes go to TOLVANE_DRYRUN_LOG, its settings to the text store
// TOLVANE_DRYRUN_STORE, as the dry run's do.
#include <cstdlib>

#include "platform/win32/program_main.h"
#include "platform/win32/text_store.h"
#include "tests/win32/refusing_power.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const char* logPath = std::getenv("TOLVANE_DRYRUN_LOG");
    const char* storePath = std::getenv("TOLVANE_DRYRUN_STORE");
    if (!logPath || !*logPath || !storePath || !*storePath) return 2;
    tolvane::win32::DryRunLog log(logPath);
    tolvane::test::RefusingPower power(log);
    tolvane::win32::TextStore store(storePath);
    return tolvane::win32::runProgram(instance, "tolv-refusing", power, store, &log);
}
