// tolvane: the Linux desktop program.
#include <QApplication>

#include "platform/qt/command_line.h"
#include "platform/qt/desktop.h"
#include "platform/qt/instance.h"

int main(int argc, char** argv)
{
    if (const auto status = tolvane::runCommandLine(argc, argv, tolvane::kTolvane)) return *status;
    QApplication app(argc, argv);
    // The program lives in the notification area; no closed window ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName("tolvane");
    tolvane::quitWithTheSession();
    tolvane::Instance instance(tolvane::kTolvane);
    if (!instance.ours()) return instance.handOver();
    tolvane::QtDesktop desktop(tolvane::PowerMode::Real);
    instance.serve(desktop.program());
    desktop.start();
    return QApplication::exec();
}
