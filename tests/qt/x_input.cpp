#include "x_input.h"

#include <QProcess>

// Last: Xlib's macros would clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace tolvane::test {

namespace {

Display* display(void* dpy)
{
    return static_cast<Display*>(dpy);
}

}  // namespace

XInput::XInput() : dpy_(XOpenDisplay(nullptr)) {}

XInput::~XInput()
{
    if (dpy_) XCloseDisplay(display(dpy_));
}

void XInput::sync()
{
    if (dpy_) XSync(display(dpy_), False);
}

void XInput::refreshKeyboard()
{
    // Xlib caches the key map; a new connection reads the present one.
    if (dpy_) XCloseDisplay(display(dpy_));
    dpy_ = XOpenDisplay(nullptr);
}

void XInput::moveTo(QPoint screen)
{
    if (!dpy_) return;
    XTestFakeMotionEvent(display(dpy_), -1, screen.x(), screen.y(), CurrentTime);
    sync();
}

void XInput::press(int button)
{
    if (!dpy_) return;
    XTestFakeButtonEvent(display(dpy_), static_cast<unsigned>(button), True, CurrentTime);
    sync();
}

void XInput::release(int button)
{
    if (!dpy_) return;
    XTestFakeButtonEvent(display(dpy_), static_cast<unsigned>(button), False, CurrentTime);
    sync();
}

void XInput::click(QPoint screen, int button)
{
    moveTo(screen);
    press(button);
    release(button);
}

void XInput::doubleClick(QPoint screen)
{
    moveTo(screen);
    for (int i = 0; i < 2; ++i) {
        press(1);
        release(1);
    }
}

unsigned long XInput::keycode(const std::string& keysym)
{
    if (!dpy_) return 0;
    const KeySym sym = XStringToKeysym(keysym.c_str());
    return sym == NoSymbol ? 0 : XKeysymToKeycode(display(dpy_), sym);
}

bool XInput::keyEvent(const std::string& keysym, bool down)
{
    const unsigned long code = keycode(keysym);
    if (code == 0) return false;
    XTestFakeKeyEvent(display(dpy_), static_cast<unsigned>(code), down ? True : False, CurrentTime);
    sync();
    return true;
}

bool XInput::key(const std::string& keysym, const std::vector<std::string>& modifiers)
{
    bool ok = true;
    for (const std::string& m : modifiers) ok = keyDown(m) && ok;
    ok = keyDown(keysym) && keyUp(keysym) && ok;
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) ok = keyUp(*it) && ok;
    return ok;
}

QPoint XInput::clientOrigin(unsigned long window)
{
    if (!dpy_) return {};
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display(dpy_), window, DefaultRootWindow(display(dpy_)), 0, 0, &x, &y, &child);
    return {x, y};
}

QRect XInput::frameRect(unsigned long window)
{
    if (!dpy_) return {};
    Display* d = display(dpy_);
    // The frame is the ancestor of the client window that is a child of the root.
    Window current = window;
    for (;;) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d, current, &root, &parent, &children, &count)) return {};
        if (children) XFree(children);
        if (parent == root || parent == 0) break;
        current = parent;
    }
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, current, &attributes)) return {};
    return {attributes.x, attributes.y, attributes.width + 2 * attributes.border_width,
            attributes.height + 2 * attributes.border_width};
}

QString XInput::textProperty(unsigned long window, const char* name)
{
    if (!dpy_) return "<none>";
    Display* d = display(dpy_);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, window, XInternAtom(d, name, False), 0, 4096, False, AnyPropertyType, &type, &format,
                           &items, &after, &data) != Success ||
        type == None) {
        if (data) XFree(data);
        return "<none>";
    }
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(items));
    XFree(data);
    return text;
}

std::vector<std::string> XInput::netWmState(unsigned long window)
{
    std::vector<std::string> names;
    if (!dpy_) return names;
    Display* d = display(dpy_);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, window, XInternAtom(d, "_NET_WM_STATE", False), 0, 64, False, XA_ATOM, &type, &format,
                           &items, &after, &data) == Success &&
        data) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < items; ++i) {
            char* atomName = XGetAtomName(d, atoms[i]);
            names.emplace_back(atomName ? atomName : "");
            if (atomName) XFree(atomName);
        }
    }
    if (data) XFree(data);
    return names;
}

namespace {

std::vector<unsigned long> windowList(Display* d, const char* property)
{
    std::vector<unsigned long> windows;
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, property, False), 0, 1024, False, XA_WINDOW, &type,
                           &format, &items, &after, &data) == Success &&
        data) {
        const auto* ids = reinterpret_cast<const Window*>(data);
        windows.assign(ids, ids + items);
    }
    if (data) XFree(data);
    return windows;
}

}  // namespace

namespace {
void askWindowManager(Display* dpy, unsigned long window, const char* request, long first, long second)
{
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(dpy, request, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = first;
    event.xclient.data.l[1] = second;
    XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(dpy, False);
}
constexpr long kFromPager = 2;
}  // namespace

void XInput::restoreFromTaskbar(unsigned long window)
{
    if (dpy_) askWindowManager(display(dpy_), window, "_NET_ACTIVE_WINDOW", kFromPager, CurrentTime);
}

void XInput::closeFromTaskbar(unsigned long window)
{
    if (dpy_) askWindowManager(display(dpy_), window, "_NET_CLOSE_WINDOW", CurrentTime, kFromPager);
}

unsigned long XInput::activeWindow()
{
    if (!dpy_) return 0;
    const std::vector<unsigned long> active = windowList(display(dpy_), "_NET_ACTIVE_WINDOW");
    return active.empty() ? 0 : active.front();
}

std::vector<unsigned long> XInput::stacking()
{
    return dpy_ ? windowList(display(dpy_), "_NET_CLIENT_LIST_STACKING") : std::vector<unsigned long>{};
}

unsigned long XInput::inputFocus()
{
    if (!dpy_) return 0;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display(dpy_), &focus, &revert);
    return focus;
}

bool XInput::focusIsIn(unsigned long window)
{
    if (!dpy_) return false;
    Display* d = display(dpy_);
    for (Window current = inputFocus(); current > PointerRoot;) {
        if (current == window) return true;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d, current, &root, &parent, &children, &count)) return false;
        if (children) XFree(children);
        if (parent == root) return false;
        current = parent;
    }
    return false;
}

bool setKeyboardLayout(const QStringList& arguments)
{
    QProcess setxkbmap;
    setxkbmap.start("setxkbmap", arguments);
    return setxkbmap.waitForFinished(10000) && setxkbmap.exitStatus() == QProcess::NormalExit &&
           setxkbmap.exitCode() == 0;
}

}  // namespace tolvane::test
