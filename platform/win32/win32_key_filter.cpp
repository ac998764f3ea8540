#include "platform/win32/win32_key_filter.h"

#include "platform/model/control.h"
#include "platform/win32/win32_text.h"

#include <commctrl.h>

namespace tolvane::win32 {

namespace {

constexpr UINT_PTR kKeyFilter = 1;  // the subclass's id on its edit box

LRESULT CALLBACK keyFilterProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    if (message == WM_CHAR) {
        auto& box = *reinterpret_cast<EditBox*>(data);
        if (box.onKeyPress) {
            const bool wide = IsWindowUnicode(hwnd) != FALSE;
            const int typed = wide ? static_cast<int>(wParam) : unicodeOfAnsiChar(static_cast<unsigned>(wParam));
            const int code = box.onKeyPress(typed);
            // What the box takes must be a character of the code page, as every text
            // that crosses the A functions is.
            const unsigned byte = code == 0 ? 0 : ansiCharOfUnicode(code);
            if (byte == 0) return 0;
            wParam = wide ? static_cast<WPARAM>(code) : static_cast<WPARAM>(byte);
        }
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, keyFilterProc, kKeyFilter);
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

void filterTypedKeys(HWND edit, EditBox& box)
{
    SetWindowSubclass(edit, keyFilterProc, kKeyFilter, reinterpret_cast<DWORD_PTR>(&box));
}

}  // namespace tolvane::win32
