#pragma once
// The edit boxes' key filter: every character typed into an edit box goes through its
// model control's onKeyPress before the EDIT control sees it, which may pass it, change
// it or discard it (the hotkey boxes take capitals, digits and Backspace only). Pasted
// text does not go through it, as in the design.
// The box is subclassed with SetWindowSubclass, its model control handed to the subclass
// with it: nothing global is kept. comctl32 calls the subclass in the window's own
// character set: the WM_CHAR of an ANSI window carries the code page's byte, turned into
// the character's Unicode code for the model and back; that of a Unicode window (the
// common controls' own edit box, under the program's manifest) carries the code itself.
// Either way the box takes only what the filter gives back that the code page has.
// Not supported: the double-byte code pages' two-message WM_CHAR (win32_text.h).
// Include it after the project's own headers: it brings in <windows.h>.
#include <windows.h>

namespace tolvane {
class EditBox;
}

namespace tolvane::win32 {

// Runs the characters typed into `edit` through `box`'s key filter from now until the
// window is destroyed. `box` must outlive the native control.
void filterTypedKeys(HWND edit, EditBox& box);

}  // namespace tolvane::win32
