#include "platform/qt/ui/x11_title.h"

#include <QGuiApplication>
#include <QWidget>

// Last: Xlib's macros would clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace tolvane {

void clearX11Title(QWidget* top)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display || !top->internalWinId()) return;
    const ::Window window = top->internalWinId();
    const unsigned char empty[] = "";
    XChangeProperty(display, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace, empty, 0);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace, empty, 0);
    XFlush(display);
}

}  // namespace tolvane
