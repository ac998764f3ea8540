#pragma once
// The Linux desktop program put together: the Qt windows, timers and tray, logind (or the
// dry-run printer) for the power calls, the key state (X11's, or the desktop portal's global
// shortcuts in a Wayland session), the SQLite settings store, and the program's logic on top.
// tolvane and tolvane-dryrun differ only in the PowerApi.
#include <cstdio>
#include <memory>

#include "app/program.h"
#include "platform/model/window_system.h"
#include "platform/platform.h"
#include "platform/qt/keys/desktop_hotkeys.h"
#include "platform/qt/session/desktop_services.h"
#include "platform/qt/session/dryrun_power.h"
#include "platform/qt/session/logind_power.h"
#include "platform/qt/session/logind_sleep.h"
#include "platform/qt/session/session_lock.h"
#include "platform/qt/ui/alert_dialogs.h"
#include "platform/qt/ui/qt_timers.h"
#include "platform/qt/ui/qt_tray.h"
#include "platform/qt/ui/qt_windows.h"
#include "platform/qt/ui/tray_host.h"
#include "platform/qt/ui/warning_notification.h"
#include "platform/sqlite/sqlite_store.h"

namespace tolvane {

enum class PowerMode { Real, DryRun };

class QtDesktop {
public:
    // Needs a QApplication. dryRunOutput: where the dry-run lines go.
    explicit QtDesktop(PowerMode mode, std::FILE* dryRunOutput = stdout);
    ~QtDesktop();
    QtDesktop(const QtDesktop&) = delete;
    QtDesktop& operator=(const QtDesktop&) = delete;

    // The program's start-up: the main window is created and loaded.
    void start();

    Program& program() { return program_; }
    QtWindows& windows() { return windows_; }
    QtTray& tray() { return tray_; }
    TrayHost& trayHost() { return trayHost_; }
    QtTimers& timers() { return timers_; }
    DesktopHotkeys& hotkeys() { return hotkeys_; }

private:
    // A notification area came or went: the icons that waited for one are made, and the
    // hidden main window waits where the user finds it (see QtWindows::setTrayAvailable).
    void trayHostChanged();

    WindowSystem windowSystem_;
    QtWindows windows_;
    QtTimers timers_;
    TrayHost trayHost_;
    QtTray tray_;
    LogindPower logind_;
    SessionLock sessionLock_;
    std::unique_ptr<DryRunPower> dryRun_;
    DesktopHotkeys hotkeys_;
    WarningNotification warning_;
    AlertDialogs dialogs_;
    LocalClock clock_;
    LogindSleep sleep_;
    XdgEnvironment environment_;
    XdgLauncher launcher_;
    SqliteStore store_;
    Platform platform_;
    Program program_;
};

// A Wayland session: WAYLAND_DISPLAY is set or XDG_SESSION_TYPE is "wayland" (with or
// without an X display beside it).
bool waylandSession();

// Writes one line "tolvane: TEXT" on standard error.
void writeError(const std::string& text);

// SIGTERM, SIGINT and SIGHUP (how a session ends its programs) and a session manager's
// "die" make the event loop end, wherever the program is (a message box open at start-up
// included); the close requests of a session manager are let through as well (see the
// window widget).
void quitWithTheSession();
// The program's main event loop, unless the session ended during start-up. Its exit status.
int runUntilTheSessionEnds();

}  // namespace tolvane
