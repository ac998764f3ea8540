#pragma once
// The start of the Windows program, shared by tolv.exe and tolv-dryrun.exe: the two
// differ only in the power service, the settings store and the call log they pass.
#include "platform/services.h"

namespace tolvane::win32 {

class DryRunLog;

// Builds the platform, starts the program and runs its message loop until the session
// ends. `instance` is the HINSTANCE of the program file (for its resources).
int runProgram(void* instance, PowerApi& power, StoreApi& store, DryRunLog* log);

}  // namespace tolvane::win32
