#pragma once
// Key state from X11, for the hotkey monitor. Nothing is grabbed, so every key press
// still goes to the window that has the focus.
//
// With XInput 2.1 or later the keyboard keeps a mirror of the keys that are down, fed by the
// raw key events of the whole display. Raw events come whatever client holds a keyboard grab
// (an open menu, a virtual machine's window); under XInput 2.0 they would stop during a grab,
// so a 2.0 server gets no mirror. A poll with no key of interest down then costs nothing, and
// only a key the mirror sees down is confirmed with XQueryKeymap (the server's own answer,
// which also corrects a mirror that missed a release). Without the mirror every poll asks
// XQueryKeymap.
//
// A Windows key code stands for every X keycode that carries one of its keysyms, at any shift
// level, in the keyboard group in use (XKB): 17 both Ctrl keys; 18 both Alt keys, and Meta
// where a layout puts Alt there; 'A'..'Z' the letter keys; '0'..'9' the digits of the main
// block; 96..105 the keypad digits, kept apart from the main block. Other codes are never down.
// With "us,de" the US y key is Y while the first group is in use and Z while the second is.
// A letter or digit that the group in use has on no key (Russian has no Latin letters) is
// the key that carries it in the first group that has it, as long as that key is no letter or
// digit in the group in use: with "ru,us" and Russian in use, S is the US layout's s key, as
// a Windows layout keeps the letter keys' virtual-key codes.
// A key defined for fewer groups (Ctrl, Alt, the keypad) counts in every group, the way XKB
// maps it there; AltGr is not Alt in a group where the right Alt key is AltGr. A change of
// group or of the layouts is followed as XKB announces it. Without XKB, the first group of
// the core keyboard mapping serves.
//
// The keys of interest are the modifiers of the watched keys (KeyboardApi::watch): while the
// mirror is in use the keyboard tells whether any of them may be down, and when that changes,
// so that the monitor's timer can rest. Without the mirror (or without a display) the answer
// is always yes.
//
// Without an X display (a pure Wayland session) no key is ever down, so the hotkeys are
// off; this is said once on standard error. Under XWayland, X11 sees the keyboard only
// while an X11 window has the focus, which is said too.
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/keys/key_source.h"

class QSocketNotifier;

namespace tolvane {

class X11Keyboard : public KeySource {
public:
    // display: the X display name, "" for $DISPLAY. notes: where the one-time notes go.
    X11Keyboard(const std::string& display, std::function<void(const std::string&)> notes);
    ~X11Keyboard() override;
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    int16_t GetAsyncKeyState(int virtualKey) override;
    // The modifiers of the watched keys become the keys whose state mayBeDown() answers for.
    void watch(const WatchedKeys& keys) override;
    bool mayBeDown() const override;

    bool connected() const { return display_ != nullptr; }

protected:
    // rawEvents false: no mirror even where the server has XInput 2.1, as on a server without it.
    X11Keyboard(const std::string& display, std::function<void(const std::string&)> notes, bool rawEvents);
    // Whether the raw-event mirror is in use (XInput 2.1 or later).
    bool mirrored() const { return xiOpcode_ >= 0; }
    // The keycodes that stand for a Windows key code in the group in use (empty for none).
    const std::vector<int>& keycodes(int virtualKey) const;

private:
    // Reads the X events that are waiting (the event loop calls it when the connection has
    // something to read).
    void readEvents();
    void readKeyboardMap();
    void readLayout();
    void queryKeymap();
    // Handles queued X events (mode: an XEventsQueued mode); keys: whether raw key events
    // update the mirror.
    void handleEvents(int mode, bool keys);
    // Tells the listener when the answer of mayBeDown() has changed.
    void updateInterest();

    void* display_ = nullptr;  // Display*, kept out of this header
    void* xkbMap_ = nullptr;   // XkbDescPtr: key types and keysyms of every group
    int xiOpcode_ = -1;
    int xkbEvent_ = -1;  // XKB's event code, -1 without XKB
    int group_ = 0;      // the keyboard group in use
    std::array<std::vector<int>, 256> keycodes_;
    std::array<bool, 256> down_{};  // by X keycode
    std::vector<int> interest_;
    bool interestDown_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
};

// The Windows key code a keysym belongs to, or 0 for none.
int virtualKeyForKeysym(unsigned long keysym);

}  // namespace tolvane
