#include "platform/win32/program_main.h"

#include "app/program.h"
#include "platform/platform.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_ui.h"

#include <windows.h>
#include <ole2.h>

namespace tolvane::win32 {

int runProgram(void* instance, PowerApi& power, StoreApi& store, DryRunLog* log)
{
    // One single-threaded apartment for the GUI thread: ADO and the WebBrowser control
    // are both apartment-threaded COM objects.
    const HRESULT ole = OleInitialize(nullptr);

    WindowSystem windows;
    Win32Ui ui(windows, instance);
    Win32Privilege privilege;
    Win32Keyboard keyboard;
    Win32Shell shell(instance, log);
    Win32Display display(ui, instance);
    Win32Dialogs dialogs(log);
    Win32Launcher launcher;
    Win32Clock clock;
    Win32Environment environment;
    Platform platform{windows, ui,       display, dialogs, clock,       privilege, power,
                      keyboard, shell,   launcher, ui,     environment, store};

    int code = 0;
    {
        Program program(platform);
        program.start();
        code = ui.run();
    }
    if (SUCCEEDED(ole)) OleUninitialize();
    return code;
}

}  // namespace tolvane::win32
