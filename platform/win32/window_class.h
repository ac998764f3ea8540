#pragma once
// The program's own window classes, and the object each of their windows serves. That
// object is kept in the window itself (GWLP_USERDATA), never in a global: a window
// procedure finds what it works for from the window it is handed, so that several
// backends, timer drivers or tray windows can live side by side (the tests make many).
// Include it after the project's own headers: it brings in <windows.h> and its macros.
#include <windows.h>

namespace tolvane::win32 {

struct WindowClass {
    const char* name = nullptr;
    WNDPROC procedure = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
};

// Registers the class in `instance`; a class registered before stays as it is.
inline void registerWindowClass(HINSTANCE instance, const WindowClass& c)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = c.procedure;
    wc.hInstance = instance;
    wc.hIcon = c.icon;
    wc.hCursor = c.cursor;
    wc.hbrBackground = c.background;
    wc.lpszClassName = c.name;
    RegisterClassExA(&wc);
}

// Hands the window the object it serves from now on (null: none, and its messages take
// the default handling).
inline void setOwner(HWND hwnd, void* owner)
{
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
}

// The object the window serves, or null.
template <class T>
T* ownerOf(HWND hwnd)
{
    return reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

// A message-only window of the class (registered here) that serves `owner`; null when
// the system refuses one.
inline HWND createMessageOnlyWindow(HINSTANCE instance, const WindowClass& c, const char* title, void* owner)
{
    registerWindowClass(instance, c);
    HWND hwnd = CreateWindowExA(0, c.name, title, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (hwnd) setOwner(hwnd, owner);
    return hwnd;
}

}  // namespace tolvane::win32
