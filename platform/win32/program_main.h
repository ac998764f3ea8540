#pragma once
// The start of the Windows program, shared by tolv.exe and tolv-dryrun.exe: the two
// differ only in their name, the power service, the settings store and the call log
// they pass.
#include <string>

#include "platform/services.h"

namespace tolvane::win32 {

class DryRunLog;
class Win32Power;

// Builds the platform, starts the program and runs its message loop until the session
// ends; or, when the program `name` already runs in this session, shows that one's main
// window and returns at once. `instance` is the HINSTANCE of the program file; `power`
// makes (or writes down) the power calls and the privilege step; `log`, the dry run's,
// receives the tray requests and message boxes too (tolv.exe passes none).
int runProgram(void* instance, const std::string& name, Win32Power& power, StoreApi& store, DryRunLog* log);

}  // namespace tolvane::win32
