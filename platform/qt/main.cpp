// tolvane: the Linux desktop program.
#include <QApplication>

#include "platform/qt/command_line.h"
#include "platform/qt/desktop.h"
#include "platform/qt/display_choice.h"
#include "platform/qt/instance.h"

int main(int argc, char** argv)
{
    if (const auto status = tolvane::runCommandLine(argc, argv, tolvane::kTolvane)) return *status;
    tolvane::QtArguments qt(argc, argv, tolvane::writeError);
    if (!qt.displayFound()) return 1;
    QApplication app(qt.argc(), qt.argv());
    // The program lives in the notification area; no closed window ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName("tolvane");
    tolvane::quitWithTheSession();
    tolvane::Instance instance(tolvane::kTolvane);
    if (!instance.ours()) return instance.handOver();
    tolvane::QtDesktop desktop(tolvane::PowerMode::Real);
    instance.serve(desktop.program());
    desktop.start();
    return tolvane::runUntilTheSessionEnds();
}
