#include "platform/win32/win32_accessible.h"

#include <string>
#include <utility>

#include "platform/model/control.h"
#include "platform/win32/win32_text.h"

#include <commctrl.h>
#include <oleacc.h>

namespace tolvane::win32 {

namespace {

constexpr UINT_PTR kAccessible = 2;  // the subclass's id on its control
// IAccessible's interface id is taken from its declaration (__uuidof), not from an import
// library: the 64-bit mingw-w64 oleacc library defines IID_IAccessible as a code stub.
// UI Automation's LiveSetting property, and its value "polite" (read when the reader is idle).
constexpr GUID kLiveSettingProperty = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kPolite = 1;
// Set on a window marked live, so that the mark is cleared with it without asking the model,
// which may be gone by then.
constexpr const char* kLiveProperty = "TolvaneLive";

LONG msaaRole(AccessibleRole role)
{
    switch (role) {
        case AccessibleRole::Frame:
            return ROLE_SYSTEM_CLIENT;
        case AccessibleRole::Dialog:
            return ROLE_SYSTEM_DIALOG;
        case AccessibleRole::Alert:
            return ROLE_SYSTEM_ALERT;
        case AccessibleRole::PushButton:
            return ROLE_SYSTEM_PUSHBUTTON;
        case AccessibleRole::CheckBox:
            return ROLE_SYSTEM_CHECKBUTTON;
        case AccessibleRole::RadioButton:
            return ROLE_SYSTEM_RADIOBUTTON;
        case AccessibleRole::ComboBox:
            return ROLE_SYSTEM_COMBOBOX;
        case AccessibleRole::List:
            return ROLE_SYSTEM_LIST;
        case AccessibleRole::EditableText:
            return ROLE_SYSTEM_TEXT;
        case AccessibleRole::Label:
            return ROLE_SYSTEM_STATICTEXT;
        case AccessibleRole::StatusLine:
            return ROLE_SYSTEM_STATUSBAR;
        case AccessibleRole::Link:
            return ROLE_SYSTEM_LINK;
        case AccessibleRole::Grouping:
            return ROLE_SYSTEM_GROUPING;
        case AccessibleRole::Document:
            return ROLE_SYSTEM_DOCUMENT;
        case AccessibleRole::Image:
            return ROLE_SYSTEM_GRAPHIC;
    }
    return ROLE_SYSTEM_CLIENT;
}

bool self(const VARIANT& child)
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

HRESULT answer(const std::string& utf8Text, BSTR* out)
{
    if (!out) return E_INVALIDARG;
    const std::wstring wide = widen(utf8Text);
    *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// The system's accessible object of a window's client area, with the model's name, role,
// description and label action in place of its own.
class ModelAccessible final : public IAccessible {
public:
    ModelAccessible(IAccessible* inner, AccessibleSource source) : inner_(inner), source_(std::move(source)) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        // Enumerating the children and finding the window stay the system's.
        return inner_->QueryInterface(riid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) {
            inner_->Release();
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return inner_->GetTypeInfoCount(n); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override
    {
        return inner_->GetTypeInfo(i, l, t);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* d) override
    {
        return inner_->GetIDsOfNames(r, n, c, l, d);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* e,
                                     UINT* a) override
    {
        return inner_->Invoke(d, r, l, f, p, v, e, a);
    }

    // IAccessible: what the model says of this object itself.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        const std::optional<Accessible> f = self(child) ? source_.facts() : std::nullopt;
        if (!f || f->name.empty()) return inner_->get_accName(child, name);
        return answer(f->name, name);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override
    {
        const std::optional<Accessible> f = self(child) ? source_.facts() : std::nullopt;
        if (!f || f->description.empty()) return inner_->get_accDescription(child, description);
        return answer(f->description, description);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        const std::optional<Accessible> f = self(child) ? source_.facts() : std::nullopt;
        if (!f) return inner_->get_accRole(child, role);
        if (!role) return E_INVALIDARG;
        role->vt = VT_I4;
        role->lVal = msaaRole(f->role);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        const std::optional<Accessible> f = self(child) ? source_.facts() : std::nullopt;
        if (!f || f->action == AccessibleAction::None) return inner_->get_accDefaultAction(child, action);
        return answer(f->role == AccessibleRole::Link ? "Jump" : "Click", action);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        const std::optional<Accessible> f = self(child) ? source_.facts() : std::nullopt;
        if (!f || f->action == AccessibleAction::None || !source_.click) return inner_->accDoDefaultAction(child);
        source_.click();
        return S_OK;
    }

    // IAccessible: the system's.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override { return inner_->get_accParent(p); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* n) override { return inner_->get_accChildCount(n); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT c, IDispatch** d) override { return inner_->get_accChild(c, d); }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT c, BSTR* v) override { return inner_->get_accValue(c, v); }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT c, VARIANT* s) override { return inner_->get_accState(c, s); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT c, BSTR* h) override { return inner_->get_accHelp(c, h); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* f, VARIANT c, long* t) override
    {
        return inner_->get_accHelpTopic(f, c, t);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT c, BSTR* k) override
    {
        return inner_->get_accKeyboardShortcut(c, k);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* c) override { return inner_->get_accFocus(c); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* c) override { return inner_->get_accSelection(c); }
    HRESULT STDMETHODCALLTYPE accSelect(long f, VARIANT c) override { return inner_->accSelect(f, c); }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT c) override
    {
        return inner_->accLocation(x, y, w, h, c);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long d, VARIANT s, VARIANT* e) override
    {
        return inner_->accNavigate(d, s, e);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* c) override { return inner_->accHitTest(x, y, c); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT c, BSTR n) override { return inner_->put_accName(c, n); }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT c, BSTR v) override { return inner_->put_accValue(c, v); }

private:
    ~ModelAccessible() = default;

    LONG refs_ = 1;
    IAccessible* inner_;
    AccessibleSource source_;
};

}  // namespace

void markLive(HWND hwnd, bool live)
{
    if (!live && !RemovePropA(hwnd, kLiveProperty)) return;
    IAccPropServices* services = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                reinterpret_cast<void**>(&services))))
        return;
    if (live) {
        VARIANT polite;
        VariantInit(&polite);
        polite.vt = VT_I4;
        polite.lVal = kPolite;
        if (SUCCEEDED(services->SetHwndProp(hwnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kLiveSettingProperty,
                                            polite)))
            SetPropA(hwnd, kLiveProperty, reinterpret_cast<HANDLE>(1));
    } else {
        services->ClearHwndProps(hwnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &kLiveSettingProperty, 1);
    }
    services->Release();
}

namespace {

LRESULT CALLBACK accessibleProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    if (message == WM_GETOBJECT) {
        auto* control = reinterpret_cast<Control*>(data);
        // The proxy asks for its control through the subclass, which goes with the window.
        AccessibleSource source{[hwnd]() -> std::optional<Accessible> {
                                    DWORD_PTR owner = 0;
                                    if (!GetWindowSubclass(hwnd, accessibleProc, kAccessible, &owner))
                                        return std::nullopt;
                                    return accessibleOf(*reinterpret_cast<Control*>(owner));
                                },
                                [hwnd, control] {
                                    if (GetWindowSubclass(hwnd, accessibleProc, kAccessible, nullptr))
                                        control->userClick();
                                }};
        if (const LRESULT served = answerGetObject(hwnd, wParam, lParam, std::move(source))) return served;
    } else if (message == WM_NCDESTROY) {
        markLive(hwnd, false);
        RemoveWindowSubclass(hwnd, accessibleProc, kAccessible);
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

LRESULT answerGetObject(HWND hwnd, WPARAM wParam, LPARAM lParam, AccessibleSource source)
{
    if (static_cast<LONG>(lParam) != OBJID_CLIENT) return 0;
    IAccessible* inner = nullptr;
    if (FAILED(CreateStdAccessibleObject(hwnd, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&inner))))
        return 0;
    auto* proxy = new ModelAccessible(inner, std::move(source));
    const LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(proxy));
    proxy->Release();
    return result > 0 ? result : 0;
}

void serveAccessible(HWND hwnd, Control& control)
{
    SetWindowSubclass(hwnd, accessibleProc, kAccessible, reinterpret_cast<DWORD_PTR>(&control));
    if (announced(accessibleOf(control).role)) markLive(hwnd, true);
}

void tellNameChange(HWND hwnd, bool announce)
{
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF);
    if (announce) NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, hwnd, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace tolvane::win32
