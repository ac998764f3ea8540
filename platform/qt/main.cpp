// tolvane: the Linux desktop program.
#include <QApplication>

#include "platform/qt/desktop.h"
#include "platform/qt/display_choice.h"

int main(int argc, char** argv)
{
    tolvane::QtArguments qt(argc, argv, tolvane::writeError);
    if (!qt.displayFound()) return 1;
    QApplication app(qt.argc(), qt.argv());
    // The program lives in the notification area; no closed window ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName("tolvane");
    tolvane::quitWithTheSession();
    tolvane::QtDesktop desktop(tolvane::PowerMode::Real);
    desktop.start();
    return tolvane::runUntilTheSessionEnds();
}
