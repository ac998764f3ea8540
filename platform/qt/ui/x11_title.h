#pragma once
// An empty window title on X11. Qt's xcb platform never leaves a title empty: it names the
// window after the application instead, and the window manager shows that name. The warning
// window is designed with an empty title until its countdown writes one, so the title's two
// properties (WM_NAME and _NET_WM_NAME) are written empty again over what Qt wrote.
// Elsewhere (another Qt platform, no X11 connection) this does nothing.
class QWidget;

namespace tolvane {

// The window must exist natively (QWidget::winId() makes it).
void clearX11Title(QWidget* top);

}  // namespace tolvane
