#include "platform/qt/keys/x11_keyboard.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cstdlib>

#include "platform/model/win_codes.h"

// Last: Xlib's macros (None, Bool, KeyPress, ...) would clash with Qt's names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

namespace tolvane {

namespace {

Display* xDisplay(void* display)
{
    return static_cast<Display*>(display);
}
XkbDescPtr xkbMap(void* map)
{
    return static_cast<XkbDescPtr>(map);
}

// The group a key uses while the keyboard is in `group`: a key defined for fewer groups
// brings the group into its range as its own group information says (as the server does).
int effectiveGroup(XkbDescPtr xkb, int code, int group)
{
    const int groups = XkbKeyNumGroups(xkb, code);
    if (groups == 0) return -1;
    if (group < groups) return group;
    const unsigned char info = XkbKeyGroupInfo(xkb, code);
    switch (XkbOutOfRangeGroupAction(info)) {
        case XkbClampIntoRange:
            return groups - 1;
        case XkbRedirectIntoRange: {
            const int redirected = XkbOutOfRangeGroupNumber(info);
            return redirected < groups ? redirected : 0;
        }
        default:
            return group % groups;
    }
}

// Letters and main-block digits: the keys a layout may lack.
bool isCharacterKey(int vk)
{
    return (vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9');
}

}  // namespace

int virtualKeyForKeysym(unsigned long keysym)
{
    switch (keysym) {
        case XK_Control_L:
        case XK_Control_R:
            return kVkControl;
        case XK_Alt_L:
        case XK_Alt_R:
        case XK_Meta_L:
        case XK_Meta_R:
            return kVkMenu;
        default:
            break;
    }
    if (keysym >= XK_a && keysym <= XK_z) return static_cast<int>('A' + (keysym - XK_a));
    if (keysym >= XK_A && keysym <= XK_Z) return static_cast<int>('A' + (keysym - XK_A));
    if (keysym >= XK_0 && keysym <= XK_9) return static_cast<int>('0' + (keysym - XK_0));
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return kVkNumpad0 + static_cast<int>(keysym - XK_KP_0);
    return 0;
}

X11Keyboard::X11Keyboard(const std::string& display, std::function<void(const std::string&)> notes)
    : X11Keyboard(display, std::move(notes), true)
{
}

X11Keyboard::X11Keyboard(const std::string& display, std::function<void(const std::string&)> notes, bool rawEvents)
{
    const char* name = display.empty() ? nullptr : display.c_str();
    if (name || std::getenv("DISPLAY")) display_ = XOpenDisplay(name);
    if (!display_) {
        if (notes) notes("no X11 display: the Ctrl+Alt hotkeys are off (without X there is no key state to watch)");
        return;
    }
    if (notes && std::getenv("WAYLAND_DISPLAY"))
        notes("Wayland session: the Ctrl+Alt hotkeys are seen only while an X11 window has the focus");
    Display* dpy = xDisplay(display_);

    int opcode = 0, event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (XkbQueryExtension(dpy, &opcode, &event, &error, &major, &minor)) {
        xkbEvent_ = event;
        XkbSelectEvents(dpy, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                        XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
        // Of the state, only the group matters here; a modifier going down tells nothing.
        XkbSelectEventDetails(dpy, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask, XkbGroupStateMask);
        XkbStateRec state{};
        if (XkbGetState(dpy, XkbUseCoreKbd, &state) == Success) group_ = state.group;
    }
    readKeyboardMap();

    // 2.2 asked, 2.1 needed: from 2.1 on, raw events are delivered during another client's grab.
    major = 2;
    minor = 2;
    if (rawEvents && XQueryExtension(dpy, "XInputExtension", &opcode, &event, &error) &&
        XIQueryVersion(dpy, &major, &minor) == Success && (major > 2 || (major == 2 && minor >= 1))) {
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
        XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
        if (XISelectEvents(dpy, DefaultRootWindow(dpy), &mask, 1) == Success) {
            xiOpcode_ = opcode;
            queryKeymap();
        }
    }
    // Layout changes come as events with or without the mirror.
    notifier_ = std::make_unique<QSocketNotifier>(ConnectionNumber(dpy), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readEvents(); });
    XFlush(dpy);
}

X11Keyboard::~X11Keyboard()
{
    notifier_.reset();
    if (xkbMap_) XkbFreeKeyboard(xkbMap(xkbMap_), 0, True);
    if (display_) XCloseDisplay(xDisplay(display_));
}

void X11Keyboard::queryKeymap()
{
    char keys[32];
    XQueryKeymap(xDisplay(display_), keys);
    // Raw events that Xlib queued while it waited for the answer are older than it.
    handleEvents(QueuedAlready, false);
    for (size_t code = 0; code < down_.size(); ++code) down_[code] = (keys[code / 8] & (1 << (code % 8))) != 0;
    updateInterest();
}

void X11Keyboard::readEvents()
{
    handleEvents(QueuedAfterReading, true);
}

void X11Keyboard::handleEvents(int mode, bool keys)
{
    Display* dpy = xDisplay(display_);
    if (!dpy) return;
    bool mirrorChanged = false;
    while (XEventsQueued(dpy, mode) > 0) {
        XEvent event;
        XNextEvent(dpy, &event);
        if (xkbEvent_ >= 0 && event.type == xkbEvent_) {
            const auto& xkb = reinterpret_cast<const XkbEvent&>(event);
            if (xkb.any.xkb_type == XkbStateNotify && (xkb.state.changed & XkbGroupStateMask)) {
                group_ = xkb.state.group;
                readLayout();
            } else if (xkb.any.xkb_type == XkbMapNotify || xkb.any.xkb_type == XkbNewKeyboardNotify) {
                readKeyboardMap();
            }
            continue;
        }
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            if (event.xmapping.request == MappingKeyboard) readKeyboardMap();
            continue;
        }
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != xiOpcode_ || !XGetEventData(dpy, cookie)) continue;
        if (keys && (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease)) {
            const int code = static_cast<const XIRawEvent*>(cookie->data)->detail;
            if (code >= 0 && code < static_cast<int>(down_.size())) {
                down_[static_cast<size_t>(code)] = cookie->evtype == XI_RawKeyPress;
                mirrorChanged = true;
            }
        }
        XFreeEventData(dpy, cookie);
    }
    if (mirrorChanged) updateInterest();
}

// The keysyms of every group, read again whenever the layouts change.
void X11Keyboard::readKeyboardMap()
{
    if (xkbEvent_ >= 0) {
        if (xkbMap_) XkbFreeKeyboard(xkbMap(xkbMap_), 0, True);
        xkbMap_ = XkbGetMap(xDisplay(display_), XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    }
    readLayout();
}

void X11Keyboard::readLayout()
{
    for (auto& codes : keycodes_) codes.clear();
    const auto add = [](std::vector<int>& codes, int code) {
        if (std::find(codes.begin(), codes.end(), code) == codes.end()) codes.push_back(code);
    };
    if (XkbDescPtr xkb = xkbMap(xkbMap_)) {
        // Calls visit(virtual key, keycode) for every keysym of a Windows key code in `group`.
        const auto eachKey = [xkb](int group, const auto& visit) {
            for (int code = xkb->min_key_code; code <= xkb->max_key_code; ++code) {
                const int used = effectiveGroup(xkb, code, group);
                if (used < 0) continue;
                for (int level = 0; level < XkbKeyGroupWidth(xkb, code, used); ++level)
                    if (const int vk = virtualKeyForKeysym(XkbKeySymEntry(xkb, code, level, used))) visit(vk, code);
            }
        };
        std::array<bool, 256> carriesCharacter{};  // a letter or digit in the group in use
        int groups = 0;
        for (int code = xkb->min_key_code; code <= xkb->max_key_code; ++code)
            groups = std::max(groups, static_cast<int>(XkbKeyNumGroups(xkb, code)));
        eachKey(group_, [&](int vk, int code) {
            add(keycodes_[static_cast<size_t>(vk)], code);
            if (isCharacterKey(vk)) carriesCharacter[static_cast<size_t>(code)] = true;
        });
        // A letter or digit that the group in use lacks (Russian has no Latin letters) is the
        // key that carries it in the first group that has it, as a Windows layout keeps the
        // letter keys' virtual-key codes. A key that is a letter or digit in the group in use
        // stays that alone.
        for (int other = 0; other < groups; ++other) {
            if (other == group_) continue;
            std::array<std::vector<int>, 256> there;
            eachKey(other, [&](int vk, int code) {
                if (isCharacterKey(vk) && !carriesCharacter[static_cast<size_t>(code)])
                    add(there[static_cast<size_t>(vk)], code);
            });
            for (size_t vk = 0; vk < there.size(); ++vk)
                if (keycodes_[vk].empty()) keycodes_[vk] = std::move(there[vk]);
        }
    } else {
        // No XKB: the core mapping's first group (its first two columns).
        Display* dpy = xDisplay(display_);
        int minCode = 0, maxCode = 0, perCode = 0;
        XDisplayKeycodes(dpy, &minCode, &maxCode);
        KeySym* map = XGetKeyboardMapping(dpy, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &perCode);
        if (map) {
            for (int code = minCode; code <= maxCode; ++code)
                for (int i = 0; i < std::min(perCode, 2); ++i)
                    if (const int vk = virtualKeyForKeysym(map[(code - minCode) * perCode + i]))
                        add(keycodes_[static_cast<size_t>(vk)], code);
            XFree(map);
        }
    }
    updateInterest();
}

const std::vector<int>& X11Keyboard::keycodes(int virtualKey) const
{
    static const std::vector<int> none;
    if (virtualKey < 0 || virtualKey > 255) return none;
    return keycodes_[static_cast<size_t>(virtualKey)];
}

void X11Keyboard::watch(const WatchedKeys& keys)
{
    interest_ = keys.modifiers;
    updateInterest();
}

bool X11Keyboard::mayBeDown() const
{
    return !mirrored() || interestDown_;
}

void X11Keyboard::updateInterest()
{
    bool down = false;
    for (int vk : interest_)
        for (int code : keycodes(vk)) down = down || down_[static_cast<size_t>(code)];
    if (down == interestDown_) return;
    interestDown_ = down;
    if (mirrored()) changed();
}

int16_t X11Keyboard::GetAsyncKeyState(int virtualKey)
{
    const std::vector<int>& codes = keycodes(virtualKey);
    if (!display_ || codes.empty()) return 0;
    if (mirrored()) {
        handleEvents(QueuedAlready, true);  // what Xlib holds already; no call to the server
        const bool seenDown =
            std::any_of(codes.begin(), codes.end(), [this](int code) { return down_[static_cast<size_t>(code)]; });
        if (!seenDown) return 0;
    }
    queryKeymap();
    for (int code : codes)
        if (down_[static_cast<size_t>(code)]) return kKeyDown;
    return 0;
}

}  // namespace tolvane
