#pragma once
// Real input for the Windows tests: mouse clicks at screen points and key presses, made
// with SendInput, so that they travel the way a user's do (the system's input queue,
// hit-testing, activation, the dialog manager), never as messages handed to a control.
// Reading a control's state with messages (WM_GETTEXT, BM_GETCHECK, ...) is fine.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/wait_until.h"

#include <windows.h>

namespace tolvane::test {

// The screen point that SendInput's absolute coordinates (0..65535) land on exactly.
inline void moveTo(POINT p)
{
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>((p.x * 65536LL + w / 2) / w);
    in.mi.dy = static_cast<LONG>((p.y * 65536LL + h / 2) / h);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
}

inline void mouseButton(bool down)
{
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &in, sizeof in);
}

// A left click at a screen point: move there, press, release.
inline void clickAt(POINT p)
{
    moveTo(p);
    mouseButton(true);
    mouseButton(false);
}

inline void keyEvent(WORD vk, bool down)
{
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0));
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof in);
}

// Keys pressed in order and released in reverse: {VK_SHIFT, VK_HOME} is Shift+Home.
inline void pressKeys(const std::vector<WORD>& keys)
{
    for (WORD vk : keys) keyEvent(vk, true);
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) keyEvent(*it, false);
}

inline void pressKey(WORD vk)
{
    pressKeys({vk});
}

// One character typed as a keyboard does it for a character that has no key of its own
// on the layout (VK_PACKET): the system turns it into the focused window's WM_CHAR.
inline void typeCharacter(wchar_t c)
{
    INPUT in[2]{};
    for (INPUT& i : in) {
        i.type = INPUT_KEYBOARD;
        i.ki.wScan = c;
        i.ki.dwFlags = KEYEVENTF_UNICODE;
    }
    in[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

// The centre of a window's rectangle on the screen.
inline POINT centreOf(HWND hwnd)
{
    RECT r{};
    GetWindowRect(hwnd, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// The screen point of a top-level window's close box, found by asking the window what
// lies under each point of its title bar (WM_NCHITTEST is a question, not an action).
inline bool closeBoxOf(HWND window, POINT& out)
{
    RECT r{};
    GetWindowRect(window, &r);
    const int y = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    for (int x = r.right - 1; x > r.left; --x) {
        const LRESULT hit = SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y));
        if (hit == HTCLOSE) {
            // The middle of the box: go on to its left edge.
            int left = x;
            while (left > r.left && SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(left - 1, y)) == HTCLOSE) --left;
            out = POINT{(left + x) / 2, y};
            return true;
        }
    }
    return false;
}

// What a test of this process's own windows does between two looks of waitUntil: it sleeps
// until a message comes (10 ms at most), and `pump` runs its message loop.
inline std::function<void()> messageLoop(std::function<void()> pump)
{
    return [pump = std::move(pump)] {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        pump();
    };
}

}  // namespace tolvane::test
