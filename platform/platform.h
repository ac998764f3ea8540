#pragma once
// Everything the logic may call, handed to it at start. A backend fills one of these.
#include "model/window_system.h"
#include "services.h"

namespace tolvane {

struct Platform {
    WindowSystem& windows;
    EventLoopApi& events;
    DisplayApi& display;
    DialogApi& dialogs;
    ClockApi& clock;
    PrivilegeApi& privilege;
    PowerApi& power;
    KeyboardApi& keyboard;
    ShellApi& shell;
    LauncherApi& launcher;
    WebApi& web;
    EnvironmentApi& environment;
    StoreApi& store;
};

}  // namespace tolvane
