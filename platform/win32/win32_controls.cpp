#include "platform/win32/win32_controls.h"

#include <algorithm>

#include "platform/model/control.h"
#include "platform/model/twips.h"
#include "platform/win32/win32_key_filter.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_web_panel.h"

namespace tolvane::win32 {

namespace {

// The messages of the two list kinds.
struct ListMessages {
    UINT add, reset, select, selection, selectionChanged;
};
constexpr ListMessages kComboMessages{CB_ADDSTRING, CB_RESETCONTENT, CB_SETCURSEL, CB_GETCURSEL, CBN_SELCHANGE};
constexpr ListMessages kListMessages{LB_ADDSTRING, LB_RESETCONTENT, LB_SETCURSEL, LB_GETCURSEL, LBN_SELCHANGE};

const ListMessages* listMessagesOf(const Control& control)
{
    switch (control.kind()) {
        case ControlKind::DropDownList:
            return &kComboMessages;
        case ControlKind::ListBox:
            return &kListMessages;
        case ControlKind::PushButton:
        case ControlKind::Label:
        case ControlKind::Frame:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
        case ControlKind::EditBox:
        case ControlKind::Image:
        case ControlKind::WebView:
            return nullptr;
    }
    return nullptr;
}

// A check box or option button no wider than its box and the gap before a caption:
// its caption is designed never to be seen.
bool onlyItsBox(const Control& control, int width, int dpi)
{
    if (control.kind() != ControlKind::CheckBox && control.kind() != ControlKind::OptionButton) return false;
    return width <= GetSystemMetrics(SM_CXMENUCHECK) + MulDiv(4, dpi, 96);
}

// The closed list is as high as designed, whatever the font makes of it. The selection
// field's height is corrected by what the last setting was off: systems differ in what
// they add to it (Wine adds two pixels to the value set).
void keepDesignedHeight(HWND combo, int height)
{
    auto field = static_cast<LONG>(SendMessageA(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    for (int attempt = 0; attempt < 4 && field > 0; ++attempt) {
        RECT shown{};
        GetWindowRect(combo, &shown);
        const LONG wrong = (shown.bottom - shown.top) - height;
        if (wrong == 0 || field - wrong <= 0) break;
        field -= wrong;
        SendMessageA(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
}

}  // namespace

HWND createControlWindow(Control& control, const ControlPlace& place, Win32WebPanel& web)
{
    const PixelRect r = pixelRect(control, place.dotsPerInch);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_GROUP;
    DWORD exStyle = 0;
    if (control.visible()) style |= WS_VISIBLE;
    if (!control.enabled()) style |= WS_DISABLED;
    if (control.takesFocus()) style |= WS_TABSTOP;
    const char* cls = "STATIC";
    std::string text = control.caption();
    int height = r.height;
    switch (control.kind()) {
        case ControlKind::PushButton:
            cls = "BUTTON";
            style |= BS_PUSHBUTTON;
            break;
        case ControlKind::Label:
            style |= SS_LEFT | SS_NOTIFY;
            break;
        case ControlKind::Frame:
            cls = "BUTTON";
            style |= BS_GROUPBOX;
            break;
        // The model decides the values (a check box toggles, an option button clears its
        // group), so the native buttons are the non-automatic kinds and only show them.
        case ControlKind::CheckBox:
            cls = "BUTTON";
            style |= BS_CHECKBOX;
            break;
        case ControlKind::OptionButton:
            cls = "BUTTON";
            style |= BS_RADIOBUTTON;
            break;
        case ControlKind::DropDownList:
            cls = "COMBOBOX";
            style |= CBS_DROPDOWNLIST | WS_VSCROLL;
            text.clear();
            height = r.height + twipsToPixels(2400, place.dotsPerInch);  // room for the opened list
            break;
        case ControlKind::ListBox:
            cls = "LISTBOX";
            style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
            exStyle |= WS_EX_CLIENTEDGE;
            text.clear();
            break;
        case ControlKind::EditBox:
            cls = "EDIT";
            style |= ES_AUTOHSCROLL;
            exStyle |= WS_EX_CLIENTEDGE;
            text = static_cast<EditBox&>(control).text();
            break;
        case ControlKind::Image:
            style |= SS_ICON;
            text.clear();
            break;
        case ControlKind::WebView: {
            text.clear();
            const char* hosted = "";
            if (web.host(cls, hosted))
                text = hosted;
            else
                style |= WS_BORDER;
            break;
        }
    }
    // A box centred on its caption's line lands a row above a control no taller than
    // the box, and loses its top edge (Check6 under Wine); the caption of such a
    // control is never seen, so its box is put at the top, where it is whole.
    const bool boxOnly = onlyItsBox(control, r.width, place.dotsPerInch);
    if (boxOnly && r.height <= GetSystemMetrics(SM_CYMENUCHECK)) style |= BS_TOP;
    HMENU id = reinterpret_cast<HMENU>(static_cast<intptr_t>(place.id));
    HWND hwnd = CreateWindowExA(exStyle, cls, ansiFromUtf8(text).c_str(), style, r.left, r.top, r.width, height,
                                place.parent, id, place.instance, nullptr);
    if (!hwnd && control.kind() == ControlKind::WebView)  // the control could not be made: keep the panel's place
        hwnd = CreateWindowExA(0, "STATIC", "", style | WS_BORDER, r.left, r.top, r.width, height, place.parent, id,
                               place.instance, nullptr);
    if (!hwnd) return nullptr;
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(place.font), FALSE);
    if (boxOnly) {
        // Only the box is there: the rest of the control's rectangle (where its unseen
        // caption would go) neither paints over what lies beside it nor takes clicks.
        SetWindowRgn(hwnd, CreateRectRgn(0, 0, std::min(r.width, GetSystemMetrics(SM_CXMENUCHECK)), r.height), FALSE);
    }
    return hwnd;
}

void fillControl(HWND hwnd, Control& control, const ControlPlace& place)
{
    if (const ListMessages* list = listMessagesOf(control)) {
        for (const std::string& item : static_cast<ListControl&>(control).items())
            SendMessageA(hwnd, list->add, 0, reinterpret_cast<LPARAM>(ansiFromUtf8(item).c_str()));
    }
    switch (control.kind()) {
        case ControlKind::DropDownList:
            keepDesignedHeight(hwnd, pixelRect(control, place.dotsPerInch).height);
            break;
        case ControlKind::EditBox: {
            auto& box = static_cast<EditBox&>(control);
            if (box.maxLength() > 0) SendMessageA(hwnd, EM_LIMITTEXT, static_cast<WPARAM>(box.maxLength()), 0);
            filterTypedKeys(hwnd, box);
            break;
        }
        case ControlKind::Image:
            if (HICON icon = LoadIconA(place.instance, resourceName(static_cast<Image&>(control).picture()).c_str()))
                SendMessageA(hwnd, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
            break;
        case ControlKind::PushButton:
        case ControlKind::Label:
        case ControlKind::Frame:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
        case ControlKind::ListBox:
        case ControlKind::WebView:
            break;
    }
}

void showCaption(HWND hwnd, const Control& control)
{
    if (!listMessagesOf(control)) setWindowText(hwnd, control.caption());
}

void showValue(HWND hwnd, const Control& control)
{
    switch (control.kind()) {
        case ControlKind::CheckBox:
            SendMessageA(hwnd, BM_SETCHECK,
                         static_cast<const CheckBox&>(control).value() == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
            break;
        case ControlKind::OptionButton:
            SendMessageA(hwnd, BM_SETCHECK,
                         static_cast<const OptionButton&>(control).value() ? BST_CHECKED : BST_UNCHECKED, 0);
            break;
        case ControlKind::DropDownList:
        case ControlKind::ListBox:
            SendMessageA(hwnd, listMessagesOf(control)->select,
                         static_cast<WPARAM>(static_cast<const ListControl&>(control).listIndex()), 0);
            break;
        case ControlKind::EditBox: {
            const std::string& text = static_cast<const EditBox&>(control).text();
            if (windowText(hwnd) != text) setWindowText(hwnd, text);
            break;
        }
        case ControlKind::PushButton:
        case ControlKind::Label:
        case ControlKind::Frame:
        case ControlKind::Image:
        case ControlKind::WebView:
            break;
    }
}

void clearItems(HWND hwnd, const Control& control)
{
    if (const ListMessages* list = listMessagesOf(control)) SendMessageA(hwnd, list->reset, 0, 0);
}

void addItem(HWND hwnd, const Control& control, const std::string& item)
{
    if (const ListMessages* list = listMessagesOf(control))
        SendMessageA(hwnd, list->add, 0, reinterpret_cast<LPARAM>(ansiFromUtf8(item).c_str()));
}

void tellUserAction(Control& control, HWND hwnd, unsigned code, const Control*& typing)
{
    switch (control.kind()) {
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
        case ControlKind::Label:  // STN_CLICKED is 0 as BN_CLICKED is
            if (code == BN_CLICKED) control.userClick();
            break;
        case ControlKind::DropDownList:
        case ControlKind::ListBox:
            if (const ListMessages* list = listMessagesOf(control); code == list->selectionChanged) {
                const auto index = SendMessageA(hwnd, list->selection, 0, 0);
                static_cast<ListControl&>(control).userSelectIndex(static_cast<int>(index));
            }
            break;
        case ControlKind::EditBox:
            if (code == EN_CHANGE) {
                typing = &control;
                static_cast<EditBox&>(control).setText(windowText(hwnd));
                typing = nullptr;
            }
            break;
        case ControlKind::Frame:
        case ControlKind::Image:
        case ControlKind::WebView:
            break;
    }
}

}  // namespace tolvane::win32
