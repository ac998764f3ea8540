#pragma once
// The start of the Linux program, shared by tolvane and tolvane-dryrun: the two differ only
// in their name and in the power service.
#include "platform/qt/desktop.h"

namespace tolvane {

// Carries out a command for the program that runs (--status, ...), or starts the program and
// runs it until the session ends; or, when it already runs in this session, hands over to
// that one. The dry run says "dry-run ready" on standard output once its event loop runs.
// Returns the exit status.
int programMain(int argc, char** argv, PowerMode mode);

}  // namespace tolvane
