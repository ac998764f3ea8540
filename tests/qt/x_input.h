#pragma once
// The user's hands and eyes on the test display: real input through the XTest extension
// (the server makes the events, as from a mouse and a keyboard) and what the X server and
// the window manager say about a window. A connection of its own, beside Qt's.
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace tolvane::test {

class XInput {
public:
    XInput();
    ~XInput();
    XInput(const XInput&) = delete;
    XInput& operator=(const XInput&) = delete;
    bool connected() const { return dpy_ != nullptr; }

    // Pointer: a move to a point of the screen, buttons 1 (left), 2 (middle), 3 (right).
    void moveTo(QPoint screen);
    void press(int button);
    void release(int button);
    void click(QPoint screen, int button = 1);
    // Two clicks well inside the double-click time, at one place.
    void doubleClick(QPoint screen);

    // Keys by their X keysym names ("Tab", "v", "Control_L", "dead_acute", "Cyrillic_che").
    // False when the present keyboard layout has no key for the symbol.
    bool keyDown(const std::string& keysym) { return keyEvent(keysym, true); }
    bool keyUp(const std::string& keysym) { return keyEvent(keysym, false); }
    // Down and up; with modifiers held around it ({"Control_L"}, {"Shift_L"}).
    bool key(const std::string& keysym, const std::vector<std::string>& modifiers = {});

    // What a taskbar asks of the window manager for a window: to restore and activate it
    // (_NET_ACTIVE_WINDOW), or to close it (_NET_CLOSE_WINDOW), as from a pager.
    void restoreFromTaskbar(unsigned long window);
    void closeFromTaskbar(unsigned long window);

    // Sends what is queued and waits until the server has handled it.
    void sync();
    // Reads the keyboard map again (after setxkbmap).
    void refreshKeyboard();

    // The top-left corner of a window's client area on the screen.
    QPoint clientOrigin(unsigned long window);
    // The window manager's frame around the client window, on the screen.
    QRect frameRect(unsigned long window);
    // A text property (_NET_WM_NAME, WM_NAME) of a window; absent is "<none>".
    QString textProperty(unsigned long window, const char* name);
    // The atoms of _NET_WM_STATE.
    std::vector<std::string> netWmState(unsigned long window);
    // The root window's _NET_ACTIVE_WINDOW.
    unsigned long activeWindow();
    // The client windows from bottom to top (_NET_CLIENT_LIST_STACKING).
    std::vector<unsigned long> stacking();
    // The window that has the keyboard focus.
    unsigned long inputFocus();
    // Whether the focus window is this window or lies inside it.
    bool focusIsIn(unsigned long window);

private:
    unsigned long keycode(const std::string& keysym);
    bool keyEvent(const std::string& keysym, bool down);
    void* dpy_ = nullptr;
};

// Runs setxkbmap on the test display with these arguments; true when it succeeded.
bool setKeyboardLayout(const QStringList& arguments);

}  // namespace tolvane::test
