// tolvane-dryrun: the desktop program with every power request printed, not performed.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "platform/qt/desktop.h"
#include "platform/qt/display_choice.h"

int main(int argc, char** argv)
{
    tolvane::QtArguments qt(argc, argv, tolvane::writeError);
    if (!qt.displayFound()) return 1;
    QApplication app(qt.argc(), qt.argv());
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName("tolvane");
    tolvane::quitWithTheSession();
    tolvane::QtDesktop desktop(tolvane::PowerMode::DryRun, stdout);
    desktop.start();
    // Ready once the event loop runs: the windows and the tray icon are then being served.
    QTimer::singleShot(0, [] {
        std::puts("dry-run ready");
        std::fflush(stdout);
    });
    return tolvane::runUntilTheSessionEnds();
}
