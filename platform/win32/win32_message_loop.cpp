#include "platform/win32/win32_message_loop.h"

#include "platform/win32/win32_windows.h"

#include <windows.h>

namespace tolvane::win32 {

namespace {

// Hands the message to the dialog manager when it is for one of the program's windows
// (or a control in one) and the dialog manager takes it; otherwise dispatches it.
void dispatch(Win32Windows& windows, MSG& msg)
{
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && windows.isProgramWindow(root) &&
        (windows.arrowKey(msg.hwnd, msg.message, msg.wParam) || IsDialogMessageA(root, &msg)))
        return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

}  // namespace

void Win32MessageLoop::processPendingEvents()
{
    MSG msg;
    for (int i = 0; i < 500 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop to see
            return;
        }
        dispatch(windows_, msg);
    }
}

int Win32MessageLoop::run()
{
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) dispatch(windows_, msg);
    return static_cast<int>(msg.wParam);
}

}  // namespace tolvane::win32
