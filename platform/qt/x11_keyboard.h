#pragma once
// Key state from X11, for the hotkey monitor. Nothing is grabbed, so every key press
// still goes to the window that has the focus.
//
// With XInput 2 the keyboard keeps a mirror of the keys that are down, fed by the raw key
// events of the whole display; a poll with no key of interest down then costs nothing, and
// only a key the mirror sees down is confirmed with XQueryKeymap (the server's own answer,
// which also corrects a mirror that missed a release). Without XInput 2 every poll asks
// XQueryKeymap. A keyboard layout change is picked up when X announces it.
//
// A Windows key code stands for every X keycode that carries one of its keysyms in the
// current layout: 17 both Ctrl keys; 18 both Alt keys, and Meta where a layout puts Alt
// there; 'A'..'Z' the letter keys; '0'..'9' the digits of the main block; 96..105 the
// keypad digits, kept apart from the main block. Other codes are never down.
//
// Without an X display (a pure Wayland session) no key is ever down, so the hotkeys are
// off; this is said once on standard error. Under XWayland, X11 sees the keyboard only
// while an X11 window has the focus, which is said too.
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/services.h"

class QSocketNotifier;

namespace tolvane {

class X11Keyboard : public KeyboardApi {
public:
    // display: the X display name, "" for $DISPLAY. notes: where the one-time notes go.
    X11Keyboard(const std::string& display, std::function<void(const std::string&)> notes);
    ~X11Keyboard() override;
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    int16_t GetAsyncKeyState(int virtualKey) override;

    bool connected() const { return display_ != nullptr; }
    // Whether the raw-event mirror is in use (XInput 2).
    bool mirrored() const { return xiOpcode_ >= 0; }
    // Reads the X events that are waiting (the event loop calls it when the connection
    // has something to read).
    void readEvents();
    // The keycodes that stand for a Windows key code (empty for none).
    const std::vector<int>& keycodes(int virtualKey) const;

private:
    void readLayout();
    void queryKeymap();
    // Handles queued X events (mode: an XEventsQueued mode); keys: whether raw key events
    // update the mirror.
    void handleEvents(int mode, bool keys);

    void* display_ = nullptr;  // Display*, kept out of this header
    int xiOpcode_ = -1;
    std::array<std::vector<int>, 256> keycodes_;
    std::array<bool, 256> down_{};  // by X keycode
    std::unique_ptr<QSocketNotifier> notifier_;
};

// The Windows key code a keysym belongs to, or 0 for none.
int virtualKeyForKeysym(unsigned long keysym);

}  // namespace tolvane
