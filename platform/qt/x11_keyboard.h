#pragma once
// Key state from X11, for the hotkey monitor: XQueryKeymap tells which keys are down at
// this moment, for the whole display. Nothing is grabbed or selected, so every key press
// still goes to the window that has the focus.
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
#include <string>
#include <vector>

#include "platform/services.h"

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
    // The keycodes that stand for a Windows key code (empty for none).
    const std::vector<int>& keycodes(int virtualKey) const;

private:
    void readLayout();

    void* display_ = nullptr;  // Display*, kept out of this header
    std::array<std::vector<int>, 256> keycodes_;
};

// The Windows key code a keysym belongs to, or 0 for none.
int virtualKeyForKeysym(unsigned long keysym);

}  // namespace tolvane
