// tolvane: the Linux desktop program.
#include <QApplication>

#include "platform/qt/desktop.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The program lives in the notification area; no closed window ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName("tolvane");
    tolvane::quitWithTheSession();
    tolvane::QtDesktop desktop(tolvane::PowerMode::Real);
    desktop.start();
    return QApplication::exec();
}
