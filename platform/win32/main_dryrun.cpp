// tolv-dryrun.exe: the same program, with each power call written to a log instead of
// made (ExitWindowsEx under Wine ends every process of the prefix).
//
// TOLVANE_DRYRUN_LOG    the log file (default: tolv-dryrun.log in the current folder);
//                       one line per power call, tray request and message box, flushed.
// TOLVANE_DRYRUN_STORE  when set, a text-file settings store (see text_store.h) is used
//                       instead of ADO and Jet, which Wine does not have.
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/win32/ado_store.h"
#include "platform/win32/dry_run.h"
#include "platform/win32/program_main.h"
#include "platform/win32/text_store.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const char* logPath = std::getenv("TOLVANE_DRYRUN_LOG");
    tolvane::win32::DryRunLog log(logPath && *logPath ? logPath : "tolv-dryrun.log");
    tolvane::win32::LoggingPower power(log);
    std::unique_ptr<tolvane::StoreApi> store;
    if (const char* storePath = std::getenv("TOLVANE_DRYRUN_STORE"); storePath && *storePath)
        store = std::make_unique<tolvane::win32::TextStore>(storePath);
    else
        store = std::make_unique<tolvane::win32::AdoStore>();
    return tolvane::win32::runProgram(instance, "tolv-dryrun", power, *store, &log);
}
