#include "platform/win32/win32_windows.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "platform/model/control.h"
#include "platform/model/accessibility.h"
#include "platform/model/control_order.h"
#include "platform/model/dialog_font.h"
#include "platform/model/option_group.h"
#include "platform/model/window.h"
#include "platform/model/window_system.h"
#include "platform/win32/win32_accessible.h"
#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_dialog_font.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/window_class.h"

namespace tolvane::win32 {

namespace {

constexpr const char* kWindowClass = "TolvaneWindow";
// The control's design name, as a global atom, so that a test driver in another
// process can find each control by the name the program gives it.
constexpr const char* kNameProperty = "TolvaneName";
constexpr int kFirstControlId = 100;

HWND hwndOf(void* handle)
{
    return static_cast<HWND>(handle);
}

}  // namespace

struct Win32Windows::NativeWindow {
    Win32Windows* backend = nullptr;
    Window* model = nullptr;
    HWND hwnd = nullptr;
    HWND lastFocus = nullptr;
    std::unique_ptr<DialogFonts> fonts;
    std::unordered_map<HWND, Control*> controlsByHandle;
    std::unordered_map<const Control*, HWND> handlesByControl;
    // The names screen readers were last told, by control.
    std::unordered_map<const Control*, std::string> names;

    Control* controlOf(HWND control) const
    {
        auto it = controlsByHandle.find(control);
        return it == controlsByHandle.end() ? nullptr : it->second;
    }
    // The window and its controls go; the messages they are sent meanwhile take the
    // default handling.
    void destroy()
    {
        setOwner(hwnd, nullptr);
        for (const auto& [control, unused] : controlsByHandle)
            if (auto atom = reinterpret_cast<uintptr_t>(RemovePropA(control, kNameProperty)))
                GlobalDeleteAtom(static_cast<ATOM>(atom));
        controlsByHandle.clear();
        handlesByControl.clear();
        markLive(hwnd, false);
        DestroyWindow(hwnd);
    }
};

namespace {

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (auto* native = ownerOf<Win32Windows::NativeWindow>(hwnd))
        return native->backend->handleWindowMessage(*native, message, wParam, lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

Win32Windows::Win32Windows(WindowSystem& system, void* instance, Win32WebPanel& web)
    : system_(system), instance_(instance), web_(web)
{
    HINSTANCE inst = static_cast<HINSTANCE>(instance_);
    HDC screen = GetDC(nullptr);
    dpi_ = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    if (dpi_ <= 0) dpi_ = 96;

    handCursor_ = LoadCursorA(inst, "HAND");
    if (!handCursor_) handCursor_ = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND

    registerWindowClass(inst, {kWindowClass, windowProc, LoadIconA(inst, "TOLVANE"),
                               LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)),  // IDC_ARROW
                               reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)});
    system_.addObserver(*this);
}

Win32Windows::~Win32Windows()
{
    system_.removeObserver(*this);
    // The windows still shown go with the backend (the model's windows may be gone
    // already): their last messages take the default handling.
    for (auto& [model, native] : windows_) native->destroy();
}

Win32Windows::NativeWindow* Win32Windows::nativeOf(const Window& window) const
{
    auto it = windows_.find(&window);
    return it == windows_.end() ? nullptr : it->second.get();
}

void* Win32Windows::windowHandle(const Window& window) const
{
    NativeWindow* native = nativeOf(window);
    return native ? native->hwnd : nullptr;
}

void* Win32Windows::windowHandleNamed(const std::string& name) const
{
    for (const auto& [model, native] : windows_)
        if (model->name() == name) return native->hwnd;
    return nullptr;
}

void* Win32Windows::controlHandle(const Control& control) const
{
    NativeWindow* native = nativeOf(control.window());
    if (!native) return nullptr;
    auto it = native->handlesByControl.find(&control);
    return it == native->handlesByControl.end() ? nullptr : it->second;
}

bool Win32Windows::isProgramWindow(void* hwnd) const
{
    return std::any_of(windows_.begin(), windows_.end(), [&](const auto& entry) { return entry.second->hwnd == hwnd; });
}

void Win32Windows::windowLoaded(Window& window)
{
    if (nativeOf(window)) return;
    HINSTANCE inst = static_cast<HINSTANCE>(instance_);
    // A fixed single border with a title bar and the close box: the user cannot resize.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
    RECT rc{0, 0, twipsToPixels(window.design().clientWidth, dpi_), twipsToPixels(window.design().clientHeight, dpi_)};
    AdjustWindowRectEx(&rc, style, FALSE, 0);
    HWND hwnd = CreateWindowExA(0, kWindowClass, ansiFromUtf8(window.caption()).c_str(), style, CW_USEDEFAULT,
                                CW_USEDEFAULT, rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, inst, nullptr);
    if (!hwnd) return;
    auto owned = std::make_unique<NativeWindow>();
    NativeWindow& native = *owned;
    native.backend = this;
    native.model = &window;
    native.hwnd = hwnd;
    native.fonts = std::make_unique<DialogFonts>(window, dpi_);
    windows_[&window] = std::move(owned);
    setOwner(hwnd, &native);

    if (!window.design().icon.empty()) {
        const std::string resource = resourceName(window.design().icon);
        HANDLE big =
            LoadImageA(inst, resource.c_str(), IMAGE_ICON, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0);
        HANDLE small = LoadImageA(inst, resource.c_str(), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                  GetSystemMetrics(SM_CYSMICON), 0);
        if (big) SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
        if (small) SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    }

    // Creation order is the dialog manager's tab order, so controls are made in the
    // order of their tab places; those without a place come last.
    for (Control* control : tabOrder(window)) createControl(native, *control);
    layer(native);
    if (announced(accessibleOf(window).role)) markLive(hwnd, true);
    if (window.visible()) ShowWindow(hwnd, SW_SHOW);
}

void Win32Windows::createControl(NativeWindow& native, Control& control)
{
    const auto& all = native.model->controls();
    const ControlPlace place{
        static_cast<HINSTANCE>(instance_), native.hwnd,
        kFirstControlId + static_cast<int>(std::find(all.begin(), all.end(), &control) - all.begin()),
        native.fonts->plain(), dpi_};
    HWND hwnd = createControlWindow(control, place, web_);
    if (!hwnd) return;
    SetPropA(hwnd, kNameProperty,
             reinterpret_cast<HANDLE>(static_cast<uintptr_t>(GlobalAddAtomA(control.name().c_str()))));
    native.controlsByHandle[hwnd] = &control;
    native.handlesByControl[&control] = hwnd;
    fillControl(hwnd, control, place);
    serveAccessible(hwnd, control);
    native.names[&control] = accessibleOf(control).name;
    if (auto* label = dynamic_cast<Label*>(&control); label && label->fontUnderline()) setUnderline(control, true);
    showValue(hwnd, control);
}

// Creation order is the tab order; the z-order then follows the design's layers, each
// layer in creation order, so that the focus walk (which follows the z-order of the
// focusable, all windowed, controls) is unchanged.
void Win32Windows::layer(NativeWindow& native)
{
    std::vector<Control*> made;
    for (HWND h = GetWindow(native.hwnd, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        if (Control* control = native.controlOf(h)) made.push_back(control);
    HWND after = HWND_TOP;
    for (Control* control : topLayerFirst(made)) {
        HWND h = native.handlesByControl[control];
        SetWindowPos(h, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = h;
    }
}

void Win32Windows::setUnderline(Control& control, bool underline)
{
    HWND hwnd = hwndOf(controlHandle(control));
    NativeWindow* native = nativeOf(control.window());
    if (!hwnd || !native) return;
    HFONT font = underline ? native->fonts->underlined() : native->fonts->plain();
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void Win32Windows::windowUnloaded(Window& window)
{
    auto it = windows_.find(&window);
    if (it == windows_.end()) return;
    std::unique_ptr<NativeWindow> native = std::move(it->second);
    windows_.erase(it);
    native->destroy();
}

void Win32Windows::propertyChanged(Window& window, Control* control, Property property, const PropertyValue& value)
{
    if (!control) {
        NativeWindow* native = nativeOf(window);
        if (!native) return;
        const Accessible facts = accessibleOf(window);
        if (property == Property::Caption) {
            setWindowText(native->hwnd, std::get<std::string>(value));
            tellNameChange(native->hwnd, announced(facts.role));
        }
        if (property == Property::Visible) {
            ShowWindow(native->hwnd, std::get<bool>(value) ? SW_SHOW : SW_HIDE);
            if (std::get<bool>(value) && facts.role == AccessibleRole::Alert)
                NotifyWinEvent(EVENT_SYSTEM_ALERT, native->hwnd, OBJID_CLIENT, CHILDID_SELF);
        }
        return;
    }
    HWND hwnd = hwndOf(controlHandle(*control));
    if (!hwnd) return;
    switch (property) {
        case Property::Caption:
            showCaption(hwnd, *control);
            tellNameChanges(*nativeOf(window));
            return;
        case Property::Visible:
            ShowWindow(hwnd, std::get<bool>(value) ? SW_SHOWNA : SW_HIDE);
            return;
        case Property::Enabled:
            EnableWindow(hwnd, std::get<bool>(value) ? TRUE : FALSE);
            return;
        case Property::FontUnderline:
            setUnderline(*control, std::get<bool>(value));
            return;
        case Property::Value:
        case Property::Text:
        case Property::Interval:  // a timer's; no control is told of it
            if (typing_ != control) showValue(hwnd, *control);
            tellNameChanges(*nativeOf(window));
            return;
    }
}

void Win32Windows::tellNameChanges(NativeWindow& native)
{
    for (const auto& [control, hwnd] : native.handlesByControl) {
        const Accessible facts = accessibleOf(*control);
        std::string& told = native.names[control];
        if (told == facts.name) continue;
        told = facts.name;
        tellNameChange(hwnd, announced(facts.role));
    }
}

bool Win32Windows::arrowKey(void* handle, unsigned message, uintptr_t key)
{
    if (message != WM_KEYDOWN || !handle) return false;
    HWND hwnd = hwndOf(handle);
    NativeWindow* native = ownerOf<NativeWindow>(GetAncestor(hwnd, GA_ROOT));
    Control* control = native ? native->controlOf(hwnd) : nullptr;
    if (!control || control->kind() != ControlKind::OptionButton) return false;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0 || GetKeyState(VK_SHIFT) < 0) return false;
    bool forward = true;
    switch (key) {
        case VK_DOWN:
        case VK_RIGHT:
            break;
        case VK_UP:
        case VK_LEFT:
            forward = false;
            break;
        default:
            return false;
    }
    OptionButton* next = nextInGroup(*static_cast<OptionButton*>(control), forward);
    HWND target = next ? hwndOf(controlHandle(*next)) : nullptr;
    if (!target) return false;
    SetFocus(target);
    next->userClick();
    return true;
}

void Win32Windows::listCleared(Control& control)
{
    if (HWND hwnd = hwndOf(controlHandle(control))) clearItems(hwnd, control);
}

void Win32Windows::itemAdded(Control& control, const std::string& item)
{
    if (HWND hwnd = hwndOf(controlHandle(control))) addItem(hwnd, control, item);
}

intptr_t Win32Windows::handleWindowMessage(NativeWindow& native, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    HWND hwnd = native.hwnd;
    switch (message) {
        case WM_COMMAND:
            if (Control* control = native.controlOf(reinterpret_cast<HWND>(lParam)))
                tellUserAction(*control, reinterpret_cast<HWND>(lParam), HIWORD(wParam), typing_);
            return 0;
        case WM_CLOSE:
            native.model->userClose();
            return 0;
        case WM_GETOBJECT: {
            // The proxy asks for the model window through the native window, which forgets it on unload.
            AccessibleSource source{[hwnd]() -> std::optional<Accessible> {
                                        const NativeWindow* owner = ownerOf<NativeWindow>(hwnd);
                                        if (!owner) return std::nullopt;
                                        return accessibleOf(*owner->model);
                                    },
                                    nullptr};
            if (const LRESULT served = answerGetObject(hwnd, wParam, lParam, std::move(source))) return served;
            break;
        }
        // The refusal to close is for the user's requests; when Windows ends the session the
        // program lets it end.
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd, focus)) native.lastFocus = focus;
            } else {
                HWND target = native.lastFocus && IsWindow(native.lastFocus) ? native.lastFocus
                                                                             : GetNextDlgTabItem(hwnd, nullptr, FALSE);
                if (target) SetFocus(target);
            }
            return 0;
        case WM_CTLCOLORSTATIC: {
            auto* label = dynamic_cast<Label*>(native.controlOf(reinterpret_cast<HWND>(lParam)));
            if (!label || !label->linkLooks) break;
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(0, 0, 255));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<intptr_t>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_SETCURSOR: {
            auto* label = dynamic_cast<Label*>(native.controlOf(reinterpret_cast<HWND>(wParam)));
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

}  // namespace tolvane::win32
