#pragma once
#include "platform/services.h"

namespace tolvane {

// Gives the process the shutdown privilege; called once, at start-up. Nothing it calls
// is checked: without the privilege the program starts all the same.
void SP_proc1(PrivilegeApi& api);

}  // namespace tolvane
