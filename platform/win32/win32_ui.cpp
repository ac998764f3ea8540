#include "platform/win32/win32_ui.h"

#include <algorithm>
#include <vector>

#include "platform/model/control.h"
#include "platform/model/dialog_font.h"
#include "platform/model/timer.h"
#include "platform/model/window.h"
#include "platform/win32/win32_text.h"

// Windows headers come after the project's: their macros (MessageBox, NIM_ADD, ...)
// would otherwise rename the project's own declarations.
#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>
#include <ole2.h>

namespace tolvane::win32 {

namespace {

constexpr const char* kWindowClass = "TolvaneWindow";
constexpr const char* kTimerClass = "TolvaneTimers";
// The control's design name, as a global atom, so that a test driver in another
// process can find each control by the name the program gives it.
constexpr const char* kNameProperty = "TolvaneName";
constexpr int kFirstControlId = 100;

Win32Ui* g_ui = nullptr;
WNDPROC g_editProc = nullptr;

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);
AtlAxGetControlFn g_atlAxGetControl = nullptr;
bool g_atlReady = false;

HWND hwndOf(void* handle) { return static_cast<HWND>(handle); }

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_ui) return g_ui->handleWindowMessage(hwnd, message, wParam, lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK editProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_ui) return g_ui->handleEditMessage(hwnd, message, wParam, lParam);
    return CallWindowProcA(g_editProc, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK timerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && g_ui) {
        g_ui->handleTimerMessage(wParam);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

uint64_t nowMs() { return GetTickCount64(); }

// A check box or option button no wider than its box and the gap before a caption:
// its caption is designed never to be seen.
bool onlyItsBox(const Control& control, int width, int dpi)
{
    if (control.kind() != ControlKind::CheckBox && control.kind() != ControlKind::OptionButton) return false;
    return width <= GetSystemMetrics(SM_CXMENUCHECK) + MulDiv(4, dpi, 96);
}

// The AtlAxWin window class hosts any ActiveX control by its ProgID; atl.dll is part of
// every Windows since 2000 (and of Wine), so the WebBrowser needs no code of our own.
void loadAtl()
{
    static bool tried = false;
    if (tried) return;
    tried = true;
    HMODULE atl = LoadLibraryA("atl.dll");
    if (!atl) return;
    auto init = reinterpret_cast<AtlAxWinInitFn>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    g_atlAxGetControl =
        reinterpret_cast<AtlAxGetControlFn>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    g_atlReady = init && g_atlAxGetControl && init();
}

}  // namespace

struct Win32Ui::NativeWindow {
    Window* model = nullptr;
    HWND hwnd = nullptr;
    HWND lastFocus = nullptr;
    HFONT font = nullptr;
    HFONT underlinedFont = nullptr;
};

// The system's dialog face at the size dialog_font.h picks for the window, captions
// measured in the system's ANSI code page as the A functions draw them.
void* Win32Ui::dialogFont(const Window& window) const
{
    LOGFONTA lf{};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);  // "MS Shell Dlg": the system substitutes it
    HDC dc = GetDC(nullptr);
    HFONT measuring = nullptr;
    int measuringTenths = 0;
    const int tenths = dialogFontTenths(window, dpi_, [&](const std::string& caption, int size) {
        if (size != measuringTenths) {
            if (measuring) DeleteObject(measuring);
            lf.lfHeight = -MulDiv(size, dpi_, 720);
            measuring = CreateFontIndirectA(&lf);
            measuringTenths = size;
        }
        HGDIOBJ old = SelectObject(dc, measuring);
        const std::string text = ansiFromUtf8(caption);
        SIZE extent{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(dc, old);
        return static_cast<int>(extent.cx);
    });
    if (measuring) DeleteObject(measuring);
    ReleaseDC(nullptr, dc);
    lf.lfHeight = -MulDiv(tenths, dpi_, 720);
    return CreateFontIndirectA(&lf);
}

// Creation order is the tab order; the z-order then follows the design's layers, each
// layer in creation order, so that the focus walk (which follows the z-order of the
// focusable, all windowed, controls) is unchanged.
void Win32Ui::layer(const Window& window)
{
    std::vector<HWND> order;
    for (DesignLayer level : {DesignLayer::Windowed, DesignLayer::Labels, DesignLayer::Frames}) {
        for (HWND h = GetWindow(hwndOf(windowHandle(window)), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
            auto it = controlsByHandle_.find(h);
            if (it != controlsByHandle_.end() && designLayer(it->second->kind()) == level) order.push_back(h);
        }
    }
    HWND after = HWND_TOP;
    for (HWND h : order) {
        SetWindowPos(h, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = h;
    }
}

Win32Ui::Win32Ui(WindowSystem& system, void* instance) : system_(system), instance_(instance)
{
    g_ui = this;
    HINSTANCE inst = static_cast<HINSTANCE>(instance_);
    HDC screen = GetDC(nullptr);
    dpi_ = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    if (dpi_ <= 0) dpi_ = 96;

    handCursor_ = LoadCursorA(inst, "HAND");
    if (!handCursor_) handCursor_ = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = inst;
    wc.hIcon = LoadIconA(inst, "TOLVANE");
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    RegisterClassExA(&wc);

    WNDCLASSEXA tc{};
    tc.cbSize = sizeof tc;
    tc.lpfnWndProc = timerProc;
    tc.hInstance = inst;
    tc.lpszClassName = kTimerClass;
    RegisterClassExA(&tc);
    timerWindow_ = CreateWindowExA(0, kTimerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, inst, nullptr);

    system_.addObserver(*this);
    system_.setTimerDriver(this);
}

Win32Ui::~Win32Ui()
{
    system_.setTimerDriver(nullptr);
    system_.removeObserver(*this);
    for (auto& [timer, state] : timers_) KillTimer(hwndOf(timerWindow_), state.id);
    DestroyWindow(hwndOf(timerWindow_));
    // The windows still shown go with the backend (the model's windows may be gone
    // already): their last messages find no backend and take the default handling.
    g_ui = nullptr;
    controlsByHandle_.clear();
    for (auto& [model, native] : windows_) {
        DestroyWindow(native->hwnd);
        DeleteObject(native->font);
        DeleteObject(native->underlinedFont);
    }
}

Win32Ui::NativeWindow* Win32Ui::nativeOf(const Window& window) const
{
    auto it = windows_.find(&window);
    return it == windows_.end() ? nullptr : it->second.get();
}

void* Win32Ui::windowHandle(const Window& window) const
{
    NativeWindow* native = nativeOf(window);
    return native ? native->hwnd : nullptr;
}

void* Win32Ui::windowHandleNamed(const std::string& name) const
{
    for (const auto& [model, native] : windows_)
        if (model->name() == name) return native->hwnd;
    return nullptr;
}

void* Win32Ui::controlHandle(const Control& control) const
{
    auto it = handlesByControl_.find(&control);
    return it == handlesByControl_.end() ? nullptr : it->second;
}

void Win32Ui::windowLoaded(Window& window)
{
    if (nativeOf(window)) return;
    HINSTANCE inst = static_cast<HINSTANCE>(instance_);
    // A fixed single border with a title bar and the close box: the user cannot resize.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
    RECT rc{0, 0, twipsToPixels(window.design().clientWidth, dpi_), twipsToPixels(window.design().clientHeight, dpi_)};
    AdjustWindowRectEx(&rc, style, FALSE, 0);
    HWND hwnd = CreateWindowExA(0, kWindowClass, ansiFromUtf8(window.caption()).c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                                rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, inst, nullptr);
    if (!hwnd) return;
    auto native = std::make_unique<NativeWindow>();
    native->model = &window;
    native->hwnd = hwnd;
    native->font = static_cast<HFONT>(dialogFont(window));
    LOGFONTA lf{};
    GetObjectA(native->font, sizeof lf, &lf);
    lf.lfUnderline = TRUE;
    native->underlinedFont = CreateFontIndirectA(&lf);
    NativeWindow& ref = *native;
    windows_[&window] = std::move(native);
    windowsByHandle_[hwnd] = &ref;

    if (!window.design().icon.empty()) {
        std::string resource = window.design().icon;
        std::transform(resource.begin(), resource.end(), resource.begin(),
                       [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); });
        HANDLE big = LoadImageA(inst, resource.c_str(), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                GetSystemMetrics(SM_CYICON), 0);
        HANDLE small = LoadImageA(inst, resource.c_str(), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                  GetSystemMetrics(SM_CYSMICON), 0);
        if (big) SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
        if (small) SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    }

    // Creation order is the dialog manager's tab order, so controls are made in the
    // order of their tab places; those without a place come last.
    std::vector<Control*> ordered(window.controls().begin(), window.controls().end());
    std::stable_sort(ordered.begin(), ordered.end(), [](const Control* a, const Control* b) {
        const int ta = a->tabIndex() < 0 ? 1 << 30 : a->tabIndex();
        const int tb = b->tabIndex() < 0 ? 1 << 30 : b->tabIndex();
        return ta < tb;
    });
    for (Control* control : ordered) createControl(ref, *control);
    layer(window);
    if (window.visible()) ShowWindow(hwnd, SW_SHOW);
}

void Win32Ui::createControl(NativeWindow& native, Control& control)
{
    HINSTANCE inst = static_cast<HINSTANCE>(instance_);
    const PixelRect r = pixelRect(control, dpi_);
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
        height = r.height + twipsToPixels(2400, dpi_);  // room for the opened list
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
    case ControlKind::WebView:
        loadAtl();
        text.clear();
        if (g_atlReady) {
            cls = "AtlAxWin";
            text = "Shell.Explorer.2";
        } else {
            style |= WS_BORDER;
        }
        break;
    }
    // A box centred on its caption's line lands a row above a control no taller than
    // the box, and loses its top edge (Check6 under Wine); the caption of such a
    // control is never seen, so its box is put at the top, where it is whole.
    const bool boxOnly = onlyItsBox(control, r.width, dpi_);
    if (boxOnly && r.height <= GetSystemMetrics(SM_CYMENUCHECK)) style |= BS_TOP;
    const auto& all = native.model->controls();
    const int id = kFirstControlId + static_cast<int>(std::find(all.begin(), all.end(), &control) - all.begin());
    HWND hwnd = CreateWindowExA(exStyle, cls, ansiFromUtf8(text).c_str(), style, r.left, r.top, r.width, height, native.hwnd,
                                reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), inst, nullptr);
    if (!hwnd && control.kind() == ControlKind::WebView)  // the control could not be made: keep the panel's place
        hwnd = CreateWindowExA(0, "STATIC", "", style | WS_BORDER, r.left, r.top, r.width, height,
                               native.hwnd, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), inst, nullptr);
    if (!hwnd) return;
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(native.font), FALSE);
    if (boxOnly) {
        // Only the box is there: the rest of the control's rectangle (where its unseen
        // caption would go) neither paints over what lies beside it nor takes clicks.
        SetWindowRgn(hwnd, CreateRectRgn(0, 0, std::min(r.width, GetSystemMetrics(SM_CXMENUCHECK)), r.height), FALSE);
    }
    SetPropA(hwnd, kNameProperty,
             reinterpret_cast<HANDLE>(static_cast<uintptr_t>(GlobalAddAtomA(control.name().c_str()))));
    controlsByHandle_[hwnd] = &control;
    handlesByControl_[&control] = hwnd;

    if (auto* list = dynamic_cast<ListControl*>(&control)) {
        const UINT add = control.kind() == ControlKind::DropDownList ? CB_ADDSTRING : LB_ADDSTRING;
        for (const std::string& item : list->items())
            SendMessageA(hwnd, add, 0, reinterpret_cast<LPARAM>(ansiFromUtf8(item).c_str()));
    }
    if (control.kind() == ControlKind::DropDownList) {
        // The closed list is as high as designed, whatever the font makes of it. The
        // selection field's height is corrected by what the last setting was off:
        // systems differ in what they add to it (Wine adds two pixels to the value set).
        auto field = static_cast<LONG>(SendMessageA(hwnd, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
        for (int attempt = 0; attempt < 4 && field > 0; ++attempt) {
            RECT shown{};
            GetWindowRect(hwnd, &shown);
            const LONG wrong = (shown.bottom - shown.top) - r.height;
            if (wrong == 0 || field - wrong <= 0) break;
            field -= wrong;
            SendMessageA(hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
        }
    }
    if (control.kind() == ControlKind::EditBox) {
        const int limit = static_cast<EditBox&>(control).maxLength();
        if (limit > 0) SendMessageA(hwnd, EM_LIMITTEXT, static_cast<WPARAM>(limit), 0);
        WNDPROC previous =
            reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editProc)));
        if (!g_editProc) g_editProc = previous;
    }
    if (control.kind() == ControlKind::Image) {
        const auto& picture = static_cast<Image&>(control).picture();
        std::string resource = picture;
        std::transform(resource.begin(), resource.end(), resource.begin(),
                       [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); });
        if (HICON icon = LoadIconA(inst, resource.c_str()))
            SendMessageA(hwnd, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
    if (auto* label = dynamic_cast<Label*>(&control); label && label->fontUnderline()) setUnderline(control, true);
    applyControlValue(control);
}

void Win32Ui::applyControlValue(Control& control)
{
    HWND hwnd = hwndOf(controlHandle(control));
    if (!hwnd) return;
    switch (control.kind()) {
    case ControlKind::CheckBox:
        SendMessageA(hwnd, BM_SETCHECK, static_cast<CheckBox&>(control).value() == 1 ? BST_CHECKED : BST_UNCHECKED,
                     0);
        break;
    case ControlKind::OptionButton:
        SendMessageA(hwnd, BM_SETCHECK, static_cast<OptionButton&>(control).value() ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    case ControlKind::DropDownList:
        SendMessageA(hwnd, CB_SETCURSEL, static_cast<WPARAM>(static_cast<ListControl&>(control).listIndex()), 0);
        break;
    case ControlKind::ListBox:
        SendMessageA(hwnd, LB_SETCURSEL, static_cast<WPARAM>(static_cast<ListControl&>(control).listIndex()), 0);
        break;
    case ControlKind::EditBox:
        if (syncing_ != &control) {
            const std::string& text = static_cast<EditBox&>(control).text();
            if (windowText(hwnd) != text) setWindowText(hwnd, text);
        }
        break;
    default:
        break;
    }
}

void Win32Ui::setUnderline(Control& control, bool underline)
{
    HWND hwnd = hwndOf(controlHandle(control));
    NativeWindow* native = nativeOf(control.window());
    if (!hwnd || !native) return;
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(underline ? native->underlinedFont : native->font), TRUE);
}

void Win32Ui::windowUnloaded(Window& window)
{
    auto it = windows_.find(&window);
    if (it == windows_.end()) return;
    HWND hwnd = it->second->hwnd;
    for (Control* control : window.controls()) {
        auto h = handlesByControl_.find(control);
        if (h == handlesByControl_.end()) continue;
        if (auto atom = reinterpret_cast<uintptr_t>(RemovePropA(hwndOf(h->second), kNameProperty)))
            GlobalDeleteAtom(static_cast<ATOM>(atom));
        controlsByHandle_.erase(h->second);
        handlesByControl_.erase(h);
    }
    HFONT font = it->second->font, underlined = it->second->underlinedFont;
    windowsByHandle_.erase(hwnd);
    windows_.erase(it);
    DestroyWindow(hwnd);
    DeleteObject(font);
    DeleteObject(underlined);
}

void Win32Ui::propertyChanged(Window& window, Control* control, std::string_view property, const PropertyValue& value)
{
    if (!control) {
        NativeWindow* native = nativeOf(window);
        if (!native) return;
        if (property == "Caption") setWindowText(native->hwnd, std::get<std::string>(value));
        if (property == "Visible") ShowWindow(native->hwnd, std::get<bool>(value) ? SW_SHOW : SW_HIDE);
        return;
    }
    HWND hwnd = hwndOf(controlHandle(*control));
    if (!hwnd) return;
    if (property == "Caption") {
        if (control->kind() != ControlKind::DropDownList && control->kind() != ControlKind::ListBox)
            setWindowText(hwnd, std::get<std::string>(value));
    } else if (property == "Visible") {
        ShowWindow(hwnd, std::get<bool>(value) ? SW_SHOWNA : SW_HIDE);
    } else if (property == "Enabled") {
        EnableWindow(hwnd, std::get<bool>(value) ? TRUE : FALSE);
    } else if (property == "FontUnderline") {
        setUnderline(*control, std::get<bool>(value));
    } else {
        applyControlValue(*control);
    }
}

void Win32Ui::listCleared(Control& control)
{
    if (HWND hwnd = hwndOf(controlHandle(control)))
        SendMessageA(hwnd, control.kind() == ControlKind::DropDownList ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
}

void Win32Ui::itemAdded(Control& control, const std::string& item)
{
    if (HWND hwnd = hwndOf(controlHandle(control)))
        SendMessageA(hwnd, control.kind() == ControlKind::DropDownList ? CB_ADDSTRING : LB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(ansiFromUtf8(item).c_str()));
}

intptr_t Win32Ui::handleWindowMessage(void* handle, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    HWND hwnd = hwndOf(handle);
    auto nativeIt = windowsByHandle_.find(hwnd);
    NativeWindow* native = nativeIt == windowsByHandle_.end() ? nullptr : nativeIt->second;
    auto controlAt = [this](LPARAM l) -> Control* {
        auto it = controlsByHandle_.find(reinterpret_cast<HWND>(l));
        return it == controlsByHandle_.end() ? nullptr : it->second;
    };
    switch (message) {
    case WM_COMMAND: {
        Control* control = controlAt(lParam);
        if (!control) return 0;
        const unsigned code = HIWORD(wParam);
        switch (control->kind()) {
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
        case ControlKind::Label:  // STN_CLICKED is 0 as BN_CLICKED is
            if (code == BN_CLICKED) control->userClick();
            break;
        case ControlKind::DropDownList:
            if (code == CBN_SELCHANGE) {
                const auto index = SendMessageA(reinterpret_cast<HWND>(lParam), CB_GETCURSEL, 0, 0);
                static_cast<ListControl*>(control)->userSelectIndex(static_cast<int>(index));
            }
            break;
        case ControlKind::ListBox:
            if (code == LBN_SELCHANGE) {
                const auto index = SendMessageA(reinterpret_cast<HWND>(lParam), LB_GETCURSEL, 0, 0);
                static_cast<ListControl*>(control)->userSelectIndex(static_cast<int>(index));
            }
            break;
        case ControlKind::EditBox:
            if (code == EN_CHANGE) {
                syncing_ = control;
                static_cast<EditBox*>(control)->setText(windowText(reinterpret_cast<HWND>(lParam)));
                syncing_ = nullptr;
            }
            break;
        default:
            break;
        }
        return 0;
    }
    case WM_CLOSE:
        if (native) native->model->userClose();
        return 0;
    // The refusal to close is for the user's requests; when Windows ends the session the
    // program lets it end.
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        return 0;
    case WM_ACTIVATE:
        if (!native) break;
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd, focus)) native->lastFocus = focus;
        } else {
            HWND target = native->lastFocus && IsWindow(native->lastFocus) ? native->lastFocus
                                                                            : GetNextDlgTabItem(hwnd, nullptr, FALSE);
            if (target) SetFocus(target);
        }
        return 0;
    case WM_CTLCOLORSTATIC: {
        Control* control = controlAt(lParam);
        auto* label = dynamic_cast<Label*>(control);
        if (!label || !label->linkLooks) break;
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 0, 255));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<intptr_t>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR: {
        auto it = controlsByHandle_.find(reinterpret_cast<HWND>(wParam));
        auto* label = it == controlsByHandle_.end() ? nullptr : dynamic_cast<Label*>(it->second);
        if (label && label->linkLooks && handCursor_) {
            SetCursor(static_cast<HCURSOR>(handCursor_));
            return TRUE;
        }
        break;
    }
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

intptr_t Win32Ui::handleEditMessage(void* handle, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    HWND hwnd = hwndOf(handle);
    if (message == WM_CHAR) {
        auto it = controlsByHandle_.find(hwnd);
        auto* box = it == controlsByHandle_.end() ? nullptr : dynamic_cast<EditBox*>(it->second);
        if (box && box->onKeyPress) {
            // The ANSI window is handed the code page's byte; the model's key handler
            // works on the character's Unicode code.
            const int code = box->onKeyPress(unicodeOfAnsiChar(static_cast<unsigned>(wParam)));
            const unsigned byte = code == 0 ? 0 : ansiCharOfUnicode(code);
            if (byte == 0) return 0;
            wParam = static_cast<WPARAM>(byte);
        }
    }
    return CallWindowProcA(g_editProc, hwnd, message, wParam, lParam);
}

void Win32Ui::arm(TimerState& state, uint64_t now)
{
    const uint64_t wait = state.due > now ? state.due - now : 0;
    SetTimer(hwndOf(timerWindow_), state.id, static_cast<UINT>(std::max<uint64_t>(wait, USER_TIMER_MINIMUM)), nullptr);
}

void Win32Ui::start(Timer& timer)
{
    TimerState& state = timers_[&timer];
    if (state.id == 0) {
        state.timer = &timer;
        state.id = nextTimerId_++;
        timersById_[state.id] = &timer;
    }
    const uint64_t now = nowMs();
    state.due = now + static_cast<uint64_t>(std::max(timer.interval(), 1));
    arm(state, now);
}

void Win32Ui::stop(Timer& timer)
{
    auto it = timers_.find(&timer);
    if (it == timers_.end()) return;
    KillTimer(hwndOf(timerWindow_), it->second.id);
    timersById_.erase(it->second.id);
    timers_.erase(it);
}

// Each tick is counted from the previous due time, not from when WM_TIMER arrived, so
// the lateness of one tick is not added to the next; ticks missed while the thread was
// busy are dropped rather than delivered in a burst.
void Win32Ui::handleTimerMessage(uintptr_t id)
{
    auto byId = timersById_.find(id);
    if (byId == timersById_.end()) {
        KillTimer(hwndOf(timerWindow_), id);
        return;
    }
    TimerState& state = timers_[byId->second];
    const uint64_t now = nowMs();
    if (now < state.due) {  // woken early: wait for the rest
        arm(state, now);
        return;
    }
    const uint64_t interval = static_cast<uint64_t>(std::max(state.timer->interval(), 1));
    state.due += interval;
    if (state.due <= now) state.due += ((now - state.due) / interval + 1) * interval;
    arm(state, now);
    Timer* timer = state.timer;
    timer->fire();  // may stop, restart or destroy the timer: nothing of `state` is used after
}

bool Win32Ui::dispatchOne()
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop to see
        return false;
    }
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && windowsByHandle_.count(root) && IsDialogMessageA(root, &msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

void Win32Ui::processPendingEvents()
{
    // Bounded, so that a steady stream of messages cannot hold the caller forever.
    for (int i = 0; i < 500 && dispatchOne(); ++i) {
    }
}

int Win32Ui::run()
{
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && windowsByHandle_.count(root) && IsDialogMessageA(root, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void Win32Ui::Navigate(WebView& view, const std::string& url)
{
    HWND hwnd = hwndOf(controlHandle(view));
    if (!hwnd || !g_atlReady) return;
    IUnknown* unknown = nullptr;
    if (FAILED(g_atlAxGetControl(hwnd, &unknown)) || !unknown) return;
    IWebBrowser2* browser = nullptr;
    if (SUCCEEDED(unknown->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser))) && browser) {
        BSTR address = SysAllocString(widen(url).c_str());
        VARIANT none;
        VariantInit(&none);
        browser->Navigate(address, &none, &none, &none, &none);
        SysFreeString(address);
        browser->Release();
    }
    unknown->Release();
}

}  // namespace tolvane::win32
