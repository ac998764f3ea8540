// tolvane-dryrun: the desktop program with every power request printed, not performed.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "platform/qt/command_line.h"
#include "platform/qt/desktop.h"
#include "platform/qt/display_choice.h"
#include "platform/qt/instance.h"

int main(int argc, char** argv)
{
    if (const auto status = tolvane::runCommandLine(argc, argv, tolvane::kTolvaneDryRun)) return *status;
    tolvane::QtArguments qt(argc, argv, tolvane::writeError);
    if (!qt.displayFound()) return 1;
    QApplication app(qt.argc(), qt.argv());
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName("tolvane");
    tolvane::quitWithTheSession();
    tolvane::Instance instance(tolvane::kTolvaneDryRun);
    if (!instance.ours()) return instance.handOver();
    tolvane::QtDesktop desktop(tolvane::PowerMode::DryRun, stdout);
    instance.serve(desktop.program());
    desktop.start();
    // Ready once the event loop runs: the windows and the tray icon are then being served.
    QTimer::singleShot(0, [] {
        std::puts("dry-run ready");
        std::fflush(stdout);
    });
    return tolvane::runUntilTheSessionEnds();
}
