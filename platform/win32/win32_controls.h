#pragma once
// The native control of each kind of the model's controls, in one place: which Windows
// control renders it, how the model's value is shown in it, and what its notifications
// mean to the model. A new kind of control is one case in each switch here, and the
// compiler names every one of them.
//
// Every kind is its native control: BUTTON (push button, group-box frame, and the
// non-automatic check box and option button, whose values the model decides), STATIC
// (labels, drawn on their container and telling their clicks; a plain icon for Image),
// COMBOBOX CBS_DROPDOWNLIST as high as designed, LISTBOX, EDIT with its limit and the key
// filter (win32_key_filter.h), and the web panel (win32_web_panel.h). A check box or
// option button that is only as wide as its box shows only its box.
// Include it after the project's own headers: it brings in <windows.h>.
#include <string>

#include <windows.h>

namespace tolvane {
class Control;
}

namespace tolvane::win32 {

class Win32WebPanel;

// Where a control's native window goes and what it is drawn with.
struct ControlPlace {
    HINSTANCE instance = nullptr;
    HWND parent = nullptr;
    int id = 0;  // the child window's identifier
    HFONT font = nullptr;
    int dotsPerInch = 96;
};

// Makes the native window of `control` at its designed place with its caption; null when
// the system refuses it.
HWND createControlWindow(Control& control, const ControlPlace& place, Win32WebPanel& web);
// Gives the new native control what its kind holds besides: a list's items, a drop-down
// list's designed height, an edit box's limit and key filter, an image's icon.
void fillControl(HWND hwnd, Control& control, const ControlPlace& place);

// Shows the model's caption, where the control shows one, and its value (check state,
// selection, text) in the native control.
void showCaption(HWND hwnd, const Control& control);
void showValue(HWND hwnd, const Control& control);

// A list's items, emptied or added to.
void clearItems(HWND hwnd, const Control& control);
void addItem(HWND hwnd, const Control& control, const std::string& item);

// Tells the model what the user did, from the notification `code` of the control's
// WM_COMMAND. While an edit box's typed text is told, `typing` names it, so that the
// model's echo is not written back into the box being edited.
void tellUserAction(Control& control, HWND hwnd, unsigned code, const Control*& typing);

}  // namespace tolvane::win32
