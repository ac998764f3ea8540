#include "platform/win32/program_main.h"

#include <optional>

#include "app/program.h"
#include "platform/platform.h"
#include "platform/win32/dry_run.h"
#include "platform/win32/single_instance.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_power.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_ui.h"

#include <windows.h>
#include <ole2.h>

namespace tolvane::win32 {

int runProgram(void* instance, const std::string& name, Win32Power& power, StoreApi& store, DryRunLog* log)
{
    // Before anything opens the settings: a second start hands over to the first and
    // ends, so that one process alone acts on the settings and the hotkeys.
    SingleInstance single(name, instance);
    if (!single.first()) return single.handOver(10000) ? 0 : 1;

    // One single-threaded apartment for the GUI thread: ADO and the WebBrowser control
    // are both apartment-threaded COM objects.
    const HRESULT ole = OleInitialize(nullptr);

    WindowSystem windows;
    Win32Ui ui(windows, instance);
    Win32Keyboard keyboard;
    Win32Shell systemShell(instance);
    Win32Display display(ui, instance);
    Win32Dialogs systemDialogs;
    // The dry run writes its tray requests and message boxes to its log as it makes them.
    std::optional<LoggingShell> loggingShell;
    std::optional<LoggingDialogs> loggingDialogs;
    if (log) {
        loggingShell.emplace(systemShell, *log);
        loggingDialogs.emplace(systemDialogs, *log);
    }
    ShellApi& shell = loggingShell ? static_cast<ShellApi&>(*loggingShell) : systemShell;
    DialogApi& dialogs = loggingDialogs ? static_cast<DialogApi&>(*loggingDialogs) : systemDialogs;
    Win32Launcher launcher;
    Win32Clock clock(instance);
    Win32Environment environment;
    Platform platform{windows,  ui,    display,  dialogs, clock,       power, power,
                      keyboard, shell, launcher, ui,      environment, store};

    int code = 0;
    {
        Program program(platform);
        program.start();
        single.onRequest([&] {
            program.showMainWindow();
            // The user started the program to see it: a window already shown comes to the front.
            SetForegroundWindow(static_cast<HWND>(ui.windowHandleNamed("Form1")));
        });
        code = ui.run();
        single.onRequest(nullptr);
    }
    if (SUCCEEDED(ole)) OleUninitialize();
    return code;
}

}  // namespace tolvane::win32
