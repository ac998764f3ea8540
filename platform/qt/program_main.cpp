#include "platform/qt/program_main.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "platform/qt/bus/command_line.h"
#include "platform/qt/session/instance.h"
#include "platform/qt/ui/display_choice.h"

namespace tolvane {

int programMain(int argc, char** argv, PowerMode mode)
{
    const ProgramIdentity& identity = mode == PowerMode::DryRun ? kTolvaneDryRun : kTolvane;
    if (const auto status = runCommandLine(argc, argv, identity)) return *status;
    QtArguments qt(argc, argv, writeError);
    if (!qt.displayFound()) return 1;
    QApplication app(qt.argc(), qt.argv());
    // The program lives in the notification area; no closed window ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName(identity.busName);
    quitWithTheSession();
    Instance instance(identity);
    if (!instance.ours()) return instance.handOver();
    QtDesktop desktop(mode, stdout);
    instance.serve(desktop.program());
    desktop.start();
    // Ready once the event loop runs: the windows and the tray icon are then being served.
    if (mode == PowerMode::DryRun) {
        QTimer::singleShot(0, [] {
            std::puts("dry-run ready");
            std::fflush(stdout);
        });
    }
    return runUntilTheSessionEnds();
}

}  // namespace tolvane
