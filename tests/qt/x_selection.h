#pragma once
// Whether someone owns a selection on an X display: the window manager owns WM_S0 and the
// notification area _NET_SYSTEM_TRAY_S0 while they run. Include it last: Xlib's macros
// would clash with Qt's names.
#include <X11/Xlib.h>

#include <string>

namespace tolvane::test {

inline bool selectionOwned(const std::string& display, const char* selection)
{
    Display* dpy = XOpenDisplay(display.c_str());
    if (!dpy) return false;
    const bool owned = XGetSelectionOwner(dpy, XInternAtom(dpy, selection, False)) != 0;
    XCloseDisplay(dpy);
    return owned;
}

}  // namespace tolvane::test
